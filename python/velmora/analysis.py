"""A run's measurements from Python: velmora.analyse(NAME) gives what `velmora-cli analyse
NAME --json` prints, as a dict, with its tables also as numpy structured arrays."""

import json

import numpy as np

from velmora import _velmora

# The tables of the JSON object: attribute, the path of its section, its columns and their types
# (i: whole numbers, ?: true or false, f: numbers, NaN where the JSON has null).
TABLES = {
    "windows": (
        ("growth", "windows"),
        "first_orbit:i last_orbit:i t_start t_end detected:? frequency frequency_error epsilon epsilon_error "
        "amplitude upper_limit significance orbital_amplitude",
    ),
    "frames": (
        ("disk", "frames"),
        "time particles:i in_lobe:i r10 r50 r90 beyond_r31 m1 m2 m1_phase_deg",
    ),
    "radii": (("eccentricity", "bins"), "r_in r_out count:i mean_e coherent_e direction_deg"),
    "spectrum": (("superhump", "spectrum"), "frequency amplitude"),
    "harmonics": (
        ("superhump", "harmonics"),
        "n:i found:? frequency frequency_error ratio amplitude spectrum_amplitude significance",
    ),
}

_TYPES = {"i": np.int64, "?": np.bool_, "f": np.float64}


def _dtype(columns):
    fields = []
    for column in columns.split():
        name, _, kind = column.partition(":")
        fields.append((name, _TYPES[kind or "f"]))
    return np.dtype(fields)


def _table(document, path, columns):
    """The table at `path` as a structured array, one row per entry (no rows when its section
    is null)."""
    dtype = _dtype(columns)
    section = document
    for key in path:
        section = section.get(key) if section is not None else None
    if section is None:
        return np.zeros(0, dtype)
    if tuple(section) != dtype.names:
        raise RuntimeError(f"the analysis's {'.'.join(path)} columns {tuple(section)} are not {dtype.names}")
    table = np.zeros(len(section[dtype.names[0]]), dtype)
    for name in dtype.names:
        values = section[name]
        if dtype[name] == np.float64:
            values = [np.nan if v is None else v for v in values]
        table[name] = values
    return table


class Analysis(dict):
    """The measurements of a run: a dict that equals json.loads of what `velmora-cli analyse
    NAME --json` prints (the same keys, None for null; the manual lists them), with its tables
    also as numpy structured arrays, one row per entry and a field per column:

    windows    the growth windows (["growth"]["windows"]): first_orbit, last_orbit, t_start,
               t_end, detected, frequency, frequency_error, epsilon, epsilon_error, amplitude,
               upper_limit, significance
    frames     one row per recorded frame (["disk"]["frames"]): time, particles, in_lobe, r10,
               r50, r90, beyond_r31, m1, m2, m1_phase_deg
    radii      the restart file's rings of radius (["eccentricity"]["bins"]): r_in, r_out,
               count, mean_e, coherent_e, direction_deg
    spectrum   the light curve's spectrum from 0.5 to 1.5 cycles per orbit
               (["superhump"]["spectrum"]): frequency, amplitude
    harmonics  the superhump's harmonics (["superhump"]["harmonics"]): n, found, frequency,
               frequency_error, ratio, amplitude, spectrum_amplitude, significance

    Numbers that do not exist (null) are NaN in the arrays; a table whose file is missing has no
    rows. a.windows["epsilon"] is a column, a.windows[a.windows["detected"]] the detecting rows.
    """

    def __init__(self, document):
        super().__init__(document)
        for attribute, (path, columns) in TABLES.items():
            setattr(self, attribute, _table(self, path, columns))

    def __repr__(self):
        parts = [f"<velmora.Analysis of {self['name']!r}"]
        s = self.get("superhump")
        if s is not None:
            if s["detected"]:
                parts.append(f"superhump eps {s['epsilon']:.5f} +- {s['epsilon_error']:.5f}")
            else:
                parts.append("no superhump")
        parts.append(f"{len(self.windows)} windows, {len(self.frames)} frames, {len(self.radii)} rings>")
        return ", ".join(parts)


def analyse(name, first=None, last=None, window=20, q=None, prec_from=None, prec_to=None, progress=None):
    """Measures the run NAME from whichever of NAME_lc.vlm, NAME.vlm and NAME_rs.vlm exist, as
    `velmora-cli analyse NAME` does, and returns a velmora.Analysis: the dict its --json option
    prints, with the tables as numpy arrays.

    :param name: the base name or a path prefix (str or os.PathLike); one of the three file names
        works too
    :param first: first light-curve orbit of the range (int; default 1)
    :param last: last light-curve orbit of the range (int; default the last whole one); without
        first and last the superhump is searched from the first growth window that detects it on
        (["superhump"]["range_rule"], "first_orbit" and "last_orbit" say which orbits), and
        velmora.prewhitened gives the series it searched
    :param window: orbits of a growth window, stepped by half of it (int, 1 to 1000000)
    :param q: mass ratio M2/M1 when neither the restart file nor the recording gives it (float)
    :param prec_from: first time (orbits) of the frames the precession fit uses (float; default:
        every frame)
    :param prec_to: last time (orbits) of those frames (float)
    :param progress: True prints progress on standard error; a callable receives (stage, done,
        total) between growth windows and recorded frames
    :returns: a velmora.Analysis

    Raises FileNotFoundError when the run has no file, velmora.FileError (a ValueError) with
    velmora-cli's message for a damaged file, and ValueError for an option the files cannot take
    (first and last as velmora.spectrum takes them). The analysis runs without the GIL; Ctrl-C
    stops it (KeyboardInterrupt), as does an exception of the progress callable.
    """
    text = _velmora._analyse_json(
        name,
        first=first,
        last=last,
        window=window,
        q=q,
        prec_from=prec_from,
        prec_to=prec_to,
        progress=progress,
    )
    return Analysis(json.loads(text))
