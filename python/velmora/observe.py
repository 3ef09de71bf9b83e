"""The observations of a run (NAME_obs.fits, written by ``velmora-cli run --observe``, ``restart
--observe``, ``velmora-cli observe`` or ``Simulation.run(observe=...)``), read with astropy into
numpy arrays: the eclipse light curve of each inclination, the trailed spectrum (one spectrum a
row over the radial velocity) and the Doppler map (over Vx, Vy), with the map's overlays.

Conventions: phase 0 is the white dwarf's mid-eclipse; velocities in km/s, V_R = -v.n; in a map
the white dwarf lies at (0, -K1) and the secondary's centre at (0, +K2).
"""

import numpy as np


class Observations:
    """What a telescope sees of a run. Attributes:

    path, q, porb (s), vorb (Omega a, km/s), emission, fwhm (km/s), first_orbit;
    inclinations (degrees); velocity (bin centres, km/s, of spectra and of both map axes);
    phase (orbits) and time (s) of each spectrum, total (all light of the phase), removed (light
    of gas removed during the phase); visible, spectra (phases x bins) and maps (Vy rows, Vx
    columns), dicts keyed by the inclination in degrees (obs.spectra[82]); lobe (2 x n, Omega a for sin i = 1), stream (dict of
    x, y, vx, vy, kepler_vx, kepler_vy, Omega a for sin i = 1).
    """

    def k1(self, inclination):
        """The white dwarf's projected orbital speed at an inclination, km/s."""
        return self.vorb * self.q / (1.0 + self.q) * np.sin(np.radians(inclination))

    def k2(self, inclination):
        """The secondary's projected orbital speed at an inclination, km/s."""
        return self.vorb / (1.0 + self.q) * np.sin(np.radians(inclination))

    def __repr__(self):
        incl = ", ".join(f"{i:g}" for i in self.inclinations)
        return f"<velmora.Observations {self.path}: {len(self.phase)} phases at i = {incl} deg>"


def _name(prefix, incl):
    # The C++ writer names extensions with %g.
    return f"{prefix}_I{incl:g}"


def read_observations(path):
    """Reads NAME_obs.fits; velmora.FileError when it is not an observations file."""
    from astropy.io import fits

    import velmora

    path = str(path)
    try:
        hdul = fits.open(path, memmap=False)
    except (OSError, ValueError) as e:
        raise velmora.FileError(f"{path}: {e}") from None
    with hdul:
        h = hdul[0].header
        if h.get("CONTENT") != "observations":
            raise velmora.FileError(f"{path}: not a Velmora observations file")
        o = Observations()
        o.path = path
        o.q, o.porb, o.vorb = float(h["Q"]), float(h["PORB"]), float(h["VORB"])
        o.emission, o.fwhm, o.first_orbit = h["EMISSION"], float(h["FWHM"]), int(h["FIRSTORB"])
        o.inclinations = np.array([float(h[f"INCL{k + 1}"]) for k in range(int(h["NINCL"]))])
        bins, vmax = int(h["LINEBINS"]), float(h["VMAX"])
        dv = 2.0 * vmax / bins
        o.velocity = -vmax + (np.arange(bins) + 0.5) * dv
        times = hdul["TIMES"].data
        o.phase, o.time, o.total = (np.array(times[c], dtype=float) for c in ("PHASE", "TIME", "TOTAL"))
        ecl = hdul["ECLIPSE"].data
        o.removed = np.array(ecl["REMOVED"], dtype=float)
        o.visible, o.spectra, o.maps = {}, {}, {}
        for i in o.inclinations:
            o.visible[i] = np.array(ecl[_name("VIS", i)], dtype=float)
            o.spectra[i] = np.array(hdul[_name("TRAIL", i)].data, dtype=float).reshape(len(o.phase), bins)
            o.maps[i] = np.array(hdul[_name("MAP", i)].data, dtype=float)
        lobe = hdul["LOBE"].data
        o.lobe = np.array([lobe["VX"], lobe["VY"]], dtype=float)
        st = hdul["STREAM"].data
        o.stream = {k: np.array(st[c], dtype=float) for k, c in
                    (("x", "X"), ("y", "Y"), ("vx", "VX"), ("vy", "VY"), ("kepler_vx", "KEPVX"),
                     ("kepler_vy", "KEPVY"))}
    return o
