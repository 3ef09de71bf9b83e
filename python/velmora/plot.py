"""Figures of a run with matplotlib: a recorded frame seen from above, a light curve and its
amplitude spectrum. Each function draws into the axes it is given (or new ones) and returns
them, so the figures can be combined and restyled; velmora.report puts them on one page.

matplotlib chooses its non-interactive Agg backend by itself when there is no display.
"""

import numpy as np

import velmora

_COLOURS = {
    # what the particles are coloured by: (frame attribute, colour map, label)
    "density": ("rho", "viridis", "density"),
    "temperature": ("temp", "inferno", "temperature (u$^{1/4}$)"),
}


def _axes(ax, **subplot):
    if ax is not None:
        return ax
    import matplotlib.pyplot as plt

    _, ax = plt.subplots(**subplot)
    return ax


def _closed(outline):
    return np.append(outline, outline[:, :1], axis=1)


def frame(frame, ax=None, color="density", size=None, colorbar=True, stars=True, title=True):
    """A recorded frame seen from above (the x-y plane, in units of the separation), its
    particles coloured by density or temperature, the primary's outline and the secondary's
    Roche lobe drawn over them."""
    if color not in _COLOURS:
        raise ValueError(f"color is 'density' or 'temperature' (got {color!r})")
    attribute, cmap, label = _COLOURS[color]
    ax = _axes(ax, figsize=(6, 5.4))
    values = getattr(frame, attribute)
    if size is None:
        size = float(np.clip(3000.0 / max(frame.n, 1), 0.5, 12.0))
    order = np.argsort(values, kind="stable")  # the densest (hottest) on top
    points = ax.scatter(frame.x[order], frame.y[order], c=values[order], s=size, cmap=cmap, linewidths=0)
    if stars:
        # Over the particles: the secondary's lobe with its centre, and the (small) primary.
        ax.plot(*_closed(frame.lobe), color="0.35", lw=0.8, zorder=3)
        ax.plot(*frame.secondary, marker="+", color="0.35", ms=6, zorder=3)
        ax.fill(*frame.primary_outline, facecolor="white", edgecolor="black", lw=0.8, zorder=3)
    ax.set_aspect("equal", adjustable="box")
    ax.set_xlabel("x (separation)")
    ax.set_ylabel("y (separation)")
    if title:
        ax.set_title(f"orbit {frame.orbit}, phase {frame.phase}: {frame.n} particles", fontsize="medium")
    if colorbar and frame.n > 0:
        # On the axes' right edge, as tall as the view whatever the figure around it.
        ax.figure.colorbar(points, cax=ax.inset_axes([1.03, 0.0, 0.04, 1.0]), label=label)
    return ax


def lightcurve(lc, first=None, last=None, ax=None, smoothed=True):
    """The light curve of orbits first..last (default: every whole orbit) with the running
    mean the program's plot draws. `lc` is a velmora.LightCurve or a path."""
    if not isinstance(lc, velmora.LightCurve):
        lc = velmora.read_lightcurve(lc)
    s = velmora.spectrum(lc, first, last)
    ax = _axes(ax, figsize=(7, 3))
    rows = slice(s.sample_first - 1, s.sample_last)
    ax.plot(lc.time[rows], lc.luminosity[rows], color="0.6", lw=0.6, label="luminosity")
    if smoothed and len(s.smoothed):
        ax.plot(s.smoothed_time, s.smoothed, color="C0", lw=1.2, label="running mean")
    ax.set_xlabel("time (orbits)")
    ax.set_ylabel("dissipated energy per phase")
    ax.set_xlim(s.first - 1, s.last)
    ax.set_title(f"light curve, orbits {s.first} to {s.last}", fontsize="medium")
    return ax


def spectrum(spec, ax=None, max_frequency=5.0, label_peaks=True):
    """The amplitude spectrum of a range of a light curve (a velmora.Spectrum, or a light
    curve or path analysed over every whole orbit), with the level a peak must reach (the mean
    amplitude plus 5 sigma) and its significant peaks marked."""
    if not isinstance(spec, velmora.Spectrum):
        spec = velmora.spectrum(spec)
    ax = _axes(ax, figsize=(7, 3))
    keep = spec.frequency <= max_frequency
    ax.plot(spec.frequency[keep], spec.amplitude[keep], color="C0", lw=0.9)
    ax.axhline(spec.threshold, color="C3", lw=0.8, ls="--", label="mean + 5 sigma")
    for p in spec.peaks:
        ax.plot(p["frequency"], p["amplitude"], "v", color="C3", ms=5)
        if label_peaks:
            ax.annotate(
                f"{p['frequency']:.3f}",
                (p["frequency"], p["amplitude"]),
                textcoords="offset points",
                xytext=(0, 6),
                ha="center",
                fontsize="x-small",
            )
    ax.set_xlim(0, max_frequency)
    ax.set_ylim(bottom=0)
    ax.set_xlabel("frequency (cycles per orbit)")
    ax.set_ylabel("amplitude (relative)")
    ax.set_title(f"spectrum of orbits {spec.first} to {spec.last}", fontsize="medium")
    ax.legend(loc="upper right", fontsize="x-small", frameon=False)
    return ax


def lightcurve_and_spectrum(lc, first=None, last=None, fig=None):
    """A light curve over orbits first..last above its amplitude spectrum, as one figure."""
    import matplotlib.pyplot as plt

    if not isinstance(lc, velmora.LightCurve):
        lc = velmora.read_lightcurve(lc)
    if fig is None:
        fig = plt.figure(figsize=(8, 6), layout="constrained")
    top, bottom = fig.subplots(2, 1)
    lightcurve(lc, first, last, ax=top)
    spectrum(velmora.spectrum(lc, first, last), ax=bottom)
    return fig
