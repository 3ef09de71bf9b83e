"""Parameter studies from Python, and their figures.

velmora.Study plans, runs, follows and collects a study with the library velmora-cli study uses,
so a row gives the same files whichever of them runs it:

    s = velmora.Study.plan("s.tsv", q=[0.1, 0.2], particles=200, orbits=3)
    s.run(jobs=2, progress=True)         # the local pool, as velmora-cli study run s.tsv --jobs 2
    results = s.collect()                 # numpy structured array; s.results.csv written
    s.plot("eps.png")                     # eps against q beside the observed relation

The figure also comes from the collected table alone (velmora-cli study collect OUT.tsv):

    python3 -m velmora study OUT.tsv --out FIG.pdf               # eps against q, observed relation
    python3 -m velmora study OUT.tsv --out r50.png --x q --y r50  # any measurement, any parameter

That part reads OUT.results.csv with the standard library and draws with matplotlib; it needs
nothing of the compiled module, so it also runs as a script: python3 python/velmora/study.py
OUT.tsv ... Exit codes as velmora-cli's: 0 written, 1 a missing or unreadable table, 2 a usage
error.
"""

import argparse
import csv
import io
import math
import os
import sys

# The parameters of a study table, for a results table that does not show them (the collected
# table holds them between "name" and "state"); every other numeric column is a measurement.
PARAMETERS = ["m1", "q", "h", "alpha", "beta", "orbits", "particles", "inj", "lc", "record", "frame_step",
              "restart_every"]
# Each measurement's uncertainty column.
ERRORS = {"eps": "eps_err", "eps_after_onset": "eps_after_onset_err", "precession_eps": "precession_eps_err"}
LABELS = {
    "q": "mass ratio q = M2/M1",
    "eps": "superhump period excess \u03b5",
    "eps_after_onset": "\u03b5 from the onset on",
    "precession_eps": "\u03b5 predicted by the disk's precession",
    "onset_orbit": "superhump onset (orbit)",
    "amplitude": "superhump amplitude (of the mean luminosity)",
    "significance": "superhump significance (\u03c3)",
    "r10": "disk radius r10 (separations)",
    "r50": "disk radius r50 (separations)",
    "r90": "disk radius r90 (separations)",
    "mean_e": "mean eccentricity",
    "coherent_e": "coherent eccentricity",
    "wall_time_s": "wall time (s)",
}
EPSILONS = ("eps", "eps_after_onset", "precession_eps")
# The series drawn beside the light curve's eps: their legend text and marker style.
SECOND_SERIES = {
    "eps_after_onset": (", windows from the onset on", dict(fmt="o:", ms=6, mfc="none")),
    "precession_eps": (", disk precession", dict(fmt="s-.", ms=7, mfc="none")),
}


class StudyError(Exception):
    """A table that cannot be used; `code` is the exit code."""

    def __init__(self, message, code):
        super().__init__(message)
        self.code = code


def observed_epsilon(q):
    """Period excess of observed superhumps: eps = 0.18 q + 0.29 q^2 (Patterson et al. 2005)."""
    return 0.18 * q + 0.29 * q * q


def results_path(table):
    """OUT.tsv -> OUT.results.csv; a results file given itself is kept."""
    if table.endswith(".results.csv"):
        return table
    base = table[:-4] if table.endswith(".tsv") else table
    return base + ".results.csv"


def read_results(table):
    """The rows of OUT.results.csv as dictionaries of text."""
    path = results_path(table)
    try:
        with open(path, newline="") as f:
            rows = list(csv.DictReader(f))
    except OSError as e:
        raise StudyError(f"{path}: {e.strerror} (velmora-cli study collect {table} writes it)", 1) from e
    if not rows:
        raise StudyError(f"{path} holds no rows", 1)
    return rows


def number(text):
    """A field as a number; None when it is empty or not a number ("off")."""
    try:
        v = float(text)
    except (TypeError, ValueError):
        return None
    return v if math.isfinite(v) else None


def _series(rows, x):
    """Rows grouped by the parameters other than x that differ between them."""
    columns = list(rows[0]) if rows else []
    parameters = (columns[columns.index("name") + 1:columns.index("state")]
                  if "name" in columns and "state" in columns else PARAMETERS)
    varying = [p for p in parameters if p != x and len({r.get(p) for r in rows}) > 1]
    groups = {}
    for r in rows:
        key = tuple((p, r[p]) for p in varying)
        groups.setdefault(key, []).append(r)
    return groups


def plot(rows, out, x="q", y="eps", title=None):
    """Draws y against x for the done rows; with an eps against q the observed relation too."""
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    columns = list(rows[0].keys())
    for name, what in ((x, "--x"), (y, "--y")):
        if name not in columns:
            raise StudyError(f"{what} {name}: the table's columns are {', '.join(columns)}", 2)
    done = [r for r in rows if r.get("state") == "done"]
    if not done:
        raise StudyError("no row of the study is done: nothing to draw", 1)

    fig, ax = plt.subplots(figsize=(7.0, 4.8), layout="constrained")
    # eps over the orbits searched misses a superhump that starts late or drifts; the windows from
    # the onset on still measure it, so the default figure draws both (open markers for the windows).
    # Where the table has the disk's precession (rows with a recording), its eps is drawn as well
    # (open squares): the light curve and the disk check each other.
    ys = [y]
    if y == "eps":
        ys += [c for c in SECOND_SERIES
               if c in columns and any(number(r.get(c, "")) is not None for r in done)]
    missing = []
    for key, group in _series(done, x).items():
        label = ", ".join(f"{p} {v}" for p, v in key)
        last_color = None  # a group's series share its colour
        for n, yc in enumerate(ys):
            pts = [(number(r[x]), number(r[yc]), number(r.get(ERRORS.get(yc, ""), ""))) for r in group]
            if n == 0:
                missing += [r[x] + (f" ({label})" if label else "") for r, (_, yv, _) in zip(group, pts)
                            if yv is None]
            pts = sorted((p for p in pts if p[0] is not None and p[1] is not None), key=lambda p: p[0])
            if not pts:
                continue
            name = label or "Velmora"
            if n > 0:
                name += SECOND_SERIES[yc][0]
                style = SECOND_SERIES[yc][1]
            else:
                name += ", light curve" if len(ys) > 1 else ""
                style = dict(fmt="o-", ms=5)
            xs, vs, es = zip(*pts)
            errs = [e if e is not None else 0.0 for e in es]
            line = ax.errorbar(xs, vs, yerr=errs if any(errs) else None, capsize=3, label=name,
                               color=last_color, **style)
            last_color = line[0].get_color()
    if x == "q" and y in EPSILONS:
        qs = [number(r["q"]) for r in done if number(r["q"]) is not None]
        top = max(qs) * 1.08 if qs else 0.4
        grid = [top * k / 200 for k in range(201)]
        ax.plot(grid, [observed_epsilon(q) for q in grid], "k--", lw=1.2,
                label="observed: \u03b5 = 0.18 q + 0.29 q\u00b2")
        ax.set_xlim(0, top)
        ax.set_ylim(bottom=min(0.0, ax.get_ylim()[0]))
    if missing:
        ax.text(0.98, 0.03, f"no {y} measured at {x} = {', '.join(missing)}", transform=ax.transAxes, ha="right",
                va="bottom", fontsize=8, color="0.35")
    ax.set_xlabel(LABELS.get(x, x))
    ax.set_ylabel(LABELS.get(y, y))
    ax.set_title(title or f"{LABELS.get(y, y)} against {x}", fontsize=11)
    ax.grid(alpha=0.3)
    ax.legend(fontsize=8, loc="upper left")
    fig.savefig(out)
    plt.close(fig)


# Columns of the collected table that hold whole numbers or text; every other one holds numbers,
# NaN where the table has none ("off", or a row that is not done).
_WHOLE = ("row", "orbits", "particles", "inj", "restart_every")
_TEXT = ("name", "state")


def _results_array(text):
    """The collected CSV as a numpy structured array, one record per row."""
    import numpy as np

    lines = list(csv.reader(io.StringIO(text)))
    header, body = lines[0], lines[1:]

    def as_float(v):
        return np.nan if v in ("", "off") else float(v)

    fields, columns = [], []
    for k, name in enumerate(header):
        values = [r[k] for r in body]
        if name in _WHOLE:
            fields.append((name, np.int64))
            columns.append([int(v) for v in values])
            continue
        if name not in _TEXT:
            try:
                columns.append([as_float(v) for v in values])
                fields.append((name, np.float64))
                continue
            except ValueError:
                pass  # a column of words: kept as text
        fields.append((name, f"U{max([len(v) for v in values] + [1])}"))
        columns.append(values)
    table = np.zeros(len(body), np.dtype(fields))
    for (name, _), values in zip(fields, columns):
        table[name] = values
    return table


def _list_text(values):
    """A column's values as velmora-cli study plan spells them: a value, a list or a range text."""
    if isinstance(values, str):
        return values
    if values is None or values is False:
        return "off"
    if isinstance(values, (list, tuple, range)) or hasattr(values, "tolist"):
        items = values.tolist() if hasattr(values, "tolist") else list(values)
        if not isinstance(items, list):
            items = [items]
        return ",".join(_list_text(v) for v in items)
    if isinstance(values, bool):
        raise TypeError(f"a study value takes a number, a list of numbers, a range text or None (got {values!r})")
    if isinstance(values, int):
        return str(values)
    return repr(float(values))


class Study:
    """A parameter study: a table of runs (one row a run) in a file OUT.tsv, each row run in its
    folder beside the table, as velmora-cli study runs it.

    Study.plan(path, q=[...], ...) writes a table; Study(path) opens one (a hand-made table too).
    A bad table or value raises ValueError with velmora-cli's message; a table that cannot be
    read raises velmora.FileError.
    """

    def __init__(self, path):
        from velmora import _velmora

        self._table = _velmora._StudyTable(path)

    @classmethod
    def plan(cls, path, force=False, **columns):
        """Writes the table `path`: one row a combination of the values given, the first column
        given varying slowest, as velmora-cli study plan does. Each column takes a value, a list
        (q=[0.1, 0.2], numpy arrays too), a range text ("0.05:0.35:0.05") or None for "off" (lc,
        record); m1, q, h, alpha, beta, orbits, particles, inj, lc, record, frame_step,
        restart_every. A column not given takes velmora-cli run's default. An existing table is
        replaced only with force=True."""
        from velmora import _velmora

        _velmora._study_plan(path, {k: _list_text(v) for k, v in columns.items()}, force)
        return cls(path)

    @property
    def path(self):
        """The table file, absolute."""
        return self._table.path

    @property
    def rows(self):
        """The rows as dicts: row (1-based), name and every column (None for "off")."""
        return self._table.rows()

    def row_folder(self, row):
        """The folder of row `row` (1-based), beside the table."""
        return self._table.row_folder(row)

    def __len__(self):
        return len(self._table.rows())

    def __repr__(self):
        return f"<velmora.Study {self.path}, {len(self)} rows>"

    def run(self, jobs=1, threads=None, progress=False):
        """Runs every row that is not done, `jobs` at a time, each in a worker process, as
        velmora-cli study run TABLE --jobs N does: a done row is skipped, a cut-off row continues
        from its restart file. threads: those of the whole pool, shared out between the rows
        (default every core). progress=True shows the pool's progress on standard error. Runs
        with the GIL released; Ctrl-C stops the running rows as QUIT stops a run (their files
        complete) and raises KeyboardInterrupt; a second Ctrl-C ends the process at once.
        Returns 0 when every row is done, 1 when a row failed or is running elsewhere."""
        if not 1 <= jobs <= 256:
            raise ValueError(f"jobs must be between 1 and 256 (got {jobs})")
        if threads is not None and not 1 <= threads <= 1024:
            raise ValueError(f"threads must be between 1 and 1024 (got {threads})")
        return self._table.run_pool(jobs, threads or 0, not progress, *self._worker())

    def run_row(self, row, threads=None, progress=False):
        """Runs row `row` (1-based) in this process, as velmora-cli study run TABLE --task K does,
        with the GIL released. Returns 0 (done, or done before) or 1 (failed, or running
        elsewhere); Ctrl-C stops it with its files complete and raises KeyboardInterrupt."""
        if threads is not None and not 1 <= threads <= 1024:
            raise ValueError(f"threads must be between 1 and 1024 (got {threads})")
        return self._table.run_row(row, threads or 0, not progress)

    def status(self):
        """Each row's state from its folder, as velmora-cli study status tells it: dicts of row,
        name, state ("not started", "running", "stopped", "failed", "done"), detail and
        wall_time_s (None until done)."""
        return self._table.status()

    def collect(self):
        """Writes OUT.results.csv as velmora-cli study collect does and returns it as a numpy
        structured array, one record per row: row, name, the parameters, state, the measurements
        and wall_time_s (NaN where a row has none). A done row whose analysis.json cannot be read
        raises velmora.FileError naming the file and the byte, after the table is written."""
        from velmora import _velmora

        text, problems = self._table.collect()
        if problems:
            raise _velmora.FileError(problems.strip())
        return _results_array(text)

    @property
    def results_path(self):
        """OUT.results.csv, the table collect writes."""
        return self._table.results_path

    def slurm_script(self, partition=None, time=None, cpus=1, max_parallel=None, write=True, submit=False):
        """The Slurm job array of the study, one task a row, as velmora-cli study slurm writes it;
        the tasks run this interpreter's worker (python3 -m velmora._study_worker). write=True
        writes OUT.sbatch and returns its path, write=False returns the script's text;
        submit=True also submits it with sbatch and returns the job id."""
        script = self._table.slurm_script(partition or "", time or "", cpus, max_parallel or 0, *self._worker(),
                                          write or submit)
        return self._table.submit() if submit else script

    def plot(self, out, x="q", y="eps", title=None):
        """Collects the study and draws y against x into the file `out` (the figure of python3 -m
        velmora study)."""
        self.collect()
        plot(read_results(self.results_path), out, x=x, y=y, title=title)

    @staticmethod
    def _worker():
        # The program and its words before TABLE --task K --threads N: this interpreter running
        # velmora._study_worker from the folder this package was imported from.
        home = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
        code = f"import sys; sys.path.insert(0, {home!r}); from velmora._study_worker import main; sys.exit(main())"
        return sys.executable, ["-c", code]


def main(argv=None):
    """`python3 -m velmora study`: the figure from the command line; returns the exit code."""
    parser = argparse.ArgumentParser(
        prog="python3 -m velmora study",
        description="A figure of a parameter study from OUT.results.csv (velmora-cli study collect OUT.tsv): eps "
        "against q beside the observed relation eps = 0.18 q + 0.29 q^2, or any measurement against any parameter.")
    add_arguments(parser)
    return run(parser.parse_args(argv))


def add_arguments(parser):
    """The command's arguments, added to an argparse parser."""
    parser.add_argument("table", metavar="OUT.tsv", help="the study table (its OUT.results.csv is read)")
    parser.add_argument("--out", required=True, help="the figure to write: .pdf, .png, .svg")
    parser.add_argument("--x", default="q", help="the parameter across (default q)")
    parser.add_argument("--y", default="eps", help="the measurement up (default eps; any column of OUT.results.csv)")
    parser.add_argument("--title", help="the figure's title")


def run(args):
    """Draws the figure the parsed arguments ask for; returns the exit code (0, 1 or 2)."""
    try:
        plot(read_results(args.table), args.out, x=args.x, y=args.y, title=args.title)
    except StudyError as e:
        print(f"velmora study: {e}", file=sys.stderr)
        return e.code
    except OSError as e:
        print(f"velmora study: {args.out}: {e.strerror}", file=sys.stderr)
        return 1
    print(f"Wrote {args.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
