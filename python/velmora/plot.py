"""Figures of a run with matplotlib: a recorded frame seen from above, a light curve and its
amplitude spectrum, and the run's analysis (velmora.analyse): the superhump in the spectrum, its
growth, the disk's radii and its m = 1 eccentricity. Each function draws into the axes it is
given (or new ones) and returns them, so the figures can be combined and restyled;
velmora.report puts them on one page.

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


def spectrum(data, ax=None, max_frequency=5.0, label_peaks=True):
    """The amplitude spectrum of a range of a light curve (a velmora.Spectrum, or a light
    curve or path analysed over every whole orbit), with the level a peak must reach (the mean
    amplitude plus 5 sigma) and its significant peaks marked."""
    if not isinstance(data, velmora.Spectrum):
        data = velmora.spectrum(data)
    ax = _axes(ax, figsize=(7, 3))
    keep = data.frequency <= max_frequency
    ax.plot(data.frequency[keep], data.amplitude[keep], color="C0", lw=0.9)
    ax.axhline(data.threshold, color="C3", lw=0.8, ls="--", label="mean + 5 sigma")
    for p in data.peaks:
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
    ax.set_title(f"spectrum of orbits {data.first} to {data.last}", fontsize="medium")
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


# The analysis of a run (velmora.analyse): the superhump in the spectrum, its growth, the disk's
# radii and its eccentricity. Each takes a velmora.Analysis or a run's name (analysed with the
# defaults) and, where the run's files lack what it shows, says so in the axes.


def _analysed(analysis):
    if isinstance(analysis, velmora.Analysis):
        return analysis
    return velmora.analyse(analysis)


def _absent(ax, why):
    ax.text(0.5, 0.5, why, transform=ax.transAxes, ha="center", va="center", color="0.4")
    ax.set_xticks([])
    ax.set_yticks([])
    return ax


def _relation(a):
    """The observed relation's eps for the run's q (None when q is unknown)."""
    r = a.get("reference")
    return None if r is None else r["epsilon_relation"]


def superhump(analysis, ax=None, span=(0.75, 1.25)):
    """The amplitude spectrum around one cycle per orbit (frequencies within `span`): the band
    searched for the superhump, the level a peak must reach (mean amplitude + 5 sigma), the
    frequency the observed relation gives for the run's q, and the superhump found with its
    eps (or the band's upper limit)."""
    a = _analysed(analysis)
    ax = _axes(ax, figsize=(7, 3))
    s = a.get("superhump")
    if s is None or len(a.spectrum) == 0:
        return _absent(ax, "no light curve of a whole orbit")
    f, amp = a.spectrum["frequency"], a.spectrum["amplitude"]
    keep = (f >= span[0]) & (f <= span[1])
    ax.axvspan(s["band_low"], s["band_high"], color="0.93", lw=0, label="band searched")
    ax.plot(f[keep], amp[keep], color="C0", lw=0.9)
    level = s["mean_amplitude"] + 5 * s["sigma"]
    ax.axhline(level, color="0.5", lw=0.8, ls="--", label="5 sigma above the noise about the peak")
    eps_rel = _relation(a)
    if eps_rel is not None:
        ax.axvline(1 / (1 + eps_rel), color="C2", lw=0.9, ls=":", label=f"relation: eps {eps_rel:.4f}")
    if s["detected"]:
        ax.axvline(s["frequency"], color="C3", lw=0.9)
        ax.plot(s["frequency"], s["spectrum_amplitude"], "v", color="C3", ms=6)
        ax.annotate(
            f"{s['frequency']:.5f}",
            (s["frequency"], s["spectrum_amplitude"]),
            textcoords="offset points",
            xytext=(5, -2),
            fontsize="x-small",
            color="C3",
        )
        title = (
            f"superhump eps {s['epsilon']:.5f} $\\pm$ {s['epsilon_error']:.5f}, "
            f"amplitude {s['amplitude']:.4f}, {s['significance']:.1f} sigma"
        )
    elif s["upper_limit"] is not None:
        ax.plot(s["band_max_frequency"], s["band_max_spectrum_amplitude"], "v", color="0.5", ms=6)
        title = f"no superhump: upper limit {s['upper_limit']:.4f} of the mean"
    else:
        title = "no superhump: the range is too short for the band"
    ax.set_xlim(*span)
    top = max(s["mean_amplitude"] + 5 * s["sigma"], amp[keep].max(initial=0))
    ax.set_ylim(0, 1.35 * top if top > 0 else 1)  # room above for the legend
    ax.set_xlabel("frequency (cycles per orbit)")
    ax.set_ylabel("amplitude (relative)")
    ax.set_title(f"{title}\norbits {s['first_orbit']} to {s['last_orbit']}", fontsize="medium")
    ax.legend(loc="upper right", fontsize="x-small", frameon=False)
    return ax


def _orbits(n):
    return f"{n} orbit" if n == 1 else f"{n} orbits"


def growth(analysis, ax=None, epsilon=True):
    """The superhump's amplitude in each growth window against the window's middle (upper
    limits where a window detects none), the onset marked; with `epsilon`, each detecting
    window's eps with its error on a second axis on the right (ax.right_ax), beside the mean
    eps from the onset on and the observed relation's eps."""
    a = _analysed(analysis)
    ax = _axes(ax, figsize=(7, 3))
    w = a.windows
    g = a.get("growth")
    if g is None or len(w) == 0:
        return _absent(ax, "no growth windows: fewer orbits than one window")
    middle = (w["t_start"] + w["t_end"]) / 2
    found = w["detected"]
    # Lines join neighbouring windows that both detect the superhump.
    amplitude = np.where(found, w["amplitude"], np.nan)
    ax.plot(middle, amplitude, "o-", color="C0", ms=4, lw=1, label="amplitude")
    ax.plot(middle[~found], w["upper_limit"][~found], "v", color="0.6", ms=5, ls="none", label="upper limit")
    if g["onset_window"] is not None:
        ax.axvline(middle[g["onset_window"]], color="C3", lw=0.9, label=f"onset: orbit {g['onset_orbit']}")
    shown = np.concatenate([amplitude[found], w["upper_limit"][~found]])
    shown = shown[np.isfinite(shown)]
    if len(shown) == 0:
        ax.text(0.5, 0.5, "windows too short for the band",
                transform=ax.transAxes, ha="center", va="center", color="0.4")
    # Room above the points for the legend.
    ax.set_ylim(0, 1.4 * shown.max() if len(shown) and shown.max() > 0 else 1)
    ax.set_xlabel("time (orbits, window middle)")
    ax.set_ylabel("semi-amplitude (of the mean)")
    title = f"growth: windows of {_orbits(g['window'])} every {g['step']}"
    if epsilon:
        right = ax.twinx()
        ax.right_ax = right
        right.errorbar(
            middle[found],
            w["epsilon"][found],
            yerr=w["epsilon_error"][found],
            fmt="s",
            ms=3,
            color="C1",
            ecolor="C1",
            elinewidth=0.8,
            capsize=0,
            label="eps",
        )
        if g["epsilon_mean"] is not None:
            right.axhline(g["epsilon_mean"], color="C1", lw=0.8, ls="--", label=f"mean eps {g['epsilon_mean']:.4f}")
            title += f"; eps from the onset {g['epsilon_mean']:.4f}"
            if g["epsilon_mean_error"] is not None:
                title += f" $\\pm$ {g['epsilon_mean_error']:.4f}"
        eps_rel = _relation(a)
        if eps_rel is not None:
            right.axhline(eps_rel, color="C2", lw=0.9, ls=":", label=f"relation {eps_rel:.4f}")
        right.set_ylabel("eps", color="C1")
        right.tick_params(axis="y", colors="C1")
        if not found.any() and eps_rel is None:
            right.set_yticks([])
        low, high = right.get_ylim()
        right.set_ylim(low, high + 0.4 * (high - low))
        handles, labels = ax.get_legend_handles_labels()
        more, more_labels = right.get_legend_handles_labels()
        right.legend(
            handles + more, labels + more_labels, loc="upper center", fontsize="x-small", frameon=False, ncol=3
        )
    else:
        ax.legend(loc="upper center", fontsize="x-small", frameon=False, ncol=3)
    ax.set_xlim(w["t_start"][0], w["t_end"][-1])
    ax.set_title(title, fontsize="medium")
    return ax


def _times(a):
    f = a.frames
    t0, t1 = f["time"][0], f["time"][-1]
    return (t0, t1) if t1 > t0 else (t0, t0 + 1)


def _disk(analysis, ax):
    """The analysis, the axes and its disk section; None in its place when there are no frames to
    draw (the axes then say why)."""
    a = _analysed(analysis)
    ax = _axes(ax, figsize=(7, 3))
    d = a.get("disk")
    if d is None or len(a.frames) == 0:
        _absent(ax, "no recording" if d is None else "no frame in the recording, or q unknown")
        return a, ax, None
    return a, ax, d


def radii(analysis, ax=None):
    """The disk's radii against time, from the recording: the radii within which 10, 50 and 90
    per cent of the gas in the primary's Roche lobe lies (from the primary, in units of the
    separation), with the 3:1 resonance radius, the circularisation radius and the primary's
    Roche lobe."""
    a, ax, d = _disk(analysis, ax)
    if d is None:
        return ax
    f = a.frames
    for column, colour in (("r90", "C0"), ("r50", "C1"), ("r10", "C3")):
        ax.plot(f["time"], f[column], color=colour, lw=0.8, label=column)
    r = a.get("reference")
    if r is not None:
        for key, label, style in (
            ("roche_lobe_primary", "Roche lobe", "--"),
            ("r_3to1", "3:1 resonance", "-."),
            ("r_circ", "circularisation", ":"),
        ):
            ax.axhline(r[key], color="0.4", lw=0.8, ls=style, label=f"{label} {r[key]:.3f}")
        ax.set_ylim(0, 1.08 * max(r["roche_lobe_primary"], np.nanmax(f["r90"], initial=0)))
    else:
        ax.set_ylim(bottom=0)
    ax.set_xlim(*_times(a))
    ax.set_xlabel("time (orbits)")
    ax.set_ylabel("radius (separation)")
    m = d["mean"]
    title = "disk radii"
    if m["r50"] is not None:
        title += f": mean r10 {m['r10']:.3f}, r50 {m['r50']:.3f}, r90 {m['r90']:.3f}"
    ax.set_title(title, fontsize="medium")
    ax.legend(loc="lower left", fontsize="x-small", frameon=False, ncol=3)
    return ax


def _orbit_mean(time, values):
    """The mean of the frames within half an orbit either side of each frame: NaN where that
    orbit is not whole; None when the frames span less than two orbits or miss values."""
    if len(time) < 3 or time[-1] - time[0] < 2 or not np.isfinite(values).all():
        return None
    sums = np.concatenate([[0.0], np.cumsum(values)])
    lo = np.searchsorted(time, time - 0.5, side="left")
    hi = np.searchsorted(time, time + 0.5, side="left")
    mean = (sums[hi] - sums[lo]) / np.maximum(hi - lo, 1)
    whole = (time - 0.5 >= time[0]) & (time + 0.5 <= time[-1])
    return np.where(whole, mean, np.nan)


def eccentricity(analysis, ax=None):
    """The disk's m = 1 amplitude against time, from the recording (orbits of eccentricity e
    give about e), with its precession and the eps it predicts; and, from the restart file, the
    coherent eccentricity of the orbits about the primary."""
    a, ax, d = _disk(analysis, ax)
    if d is None:
        return ax
    f = a.frames
    ax.plot(f["time"], f["m1"], color="C3", lw=0.6, label="m = 1 amplitude")
    mean = _orbit_mean(f["time"], f["m1"])
    if mean is not None:
        ax.plot(f["time"], mean, color="black", lw=1.1, label="its mean over an orbit")
    e = a.get("eccentricity")
    if e is not None and e["coherent_e"] is not None:
        ax.axhline(e["coherent_e"], color="C0", lw=0.9, ls="--",
                   label=f"coherent e of the orbits {e['coherent_e']:.3f} (restart file, orbit {e['orbit']})")
    p = d["precession"]
    if p["measured"]:
        title = (
            f"m = 1: precession {p['frequency']:.5f} cycles/orbit, "
            f"eps {p['epsilon']:.5f} $\\pm$ {p['epsilon_error']:.5f}"
        )
    else:
        title = "m = 1: precession not measured"
    ax.set_xlim(*_times(a))
    top = np.nanmax(f["m1"], initial=0)
    ax.set_ylim(0, 1.4 * top if top > 0 else 1)  # room above for the legend
    ax.set_xlabel("time (orbits)")
    ax.set_ylabel("m = 1 amplitude")
    ax.set_title(title, fontsize="medium")
    ax.legend(loc="upper left", fontsize="x-small", frameon=False, ncol=2)
    return ax


def analysis(analysis, fig=None):
    """The four figures of a run's analysis on one figure: the superhump in the spectrum, its
    growth, the disk's radii and its m = 1 eccentricity."""
    import matplotlib.pyplot as plt

    a = _analysed(analysis)
    if fig is None:
        fig = plt.figure(figsize=(12, 8), layout="constrained")
    axes = fig.subplots(2, 2)
    superhump(a, ax=axes[0, 0])
    growth(a, ax=axes[0, 1])
    radii(a, ax=axes[1, 0])
    eccentricity(a, ax=axes[1, 1])
    return fig


def _observations(obs):
    import velmora

    return obs if isinstance(obs, velmora.Observations) else velmora.read_observations(obs)


def _inclination(obs, inclination):
    if inclination is None:
        return obs.inclinations[0]
    for i in obs.inclinations:
        if abs(i - inclination) < 1e-9:
            return i
    have = ", ".join(f"{i:g}" for i in obs.inclinations)
    raise ValueError(f"the observations hold the inclinations {have} (not {inclination:g})")


def doppler_map(obs, inclination=None, ax=None, overlays=True, colorbar=True):
    """The Doppler map of one inclination (all the light of the observed phases placed at its
    projected velocity, km/s) with the standard overlays: the secondary's Roche lobe in velocity
    space, the ballistic stream from L1 and the Keplerian velocity along its path, and the
    centres of both stars (the white dwarf at (0, -K1), the secondary at (0, +K2))."""
    obs = _observations(obs)
    i = _inclination(obs, inclination)
    ax = _axes(ax, figsize=(5.6, 5.2))
    v, m = obs.velocity, obs.maps[i]
    dv = v[1] - v[0]
    extent = (v[0] - dv / 2, v[-1] + dv / 2, v[0] - dv / 2, v[-1] + dv / 2)
    shown = np.clip(m, 0.0, None)
    top = np.percentile(shown[shown > 0], 99.5) if np.any(shown > 0) else 1.0
    image = ax.imshow(shown, origin="lower", extent=extent, cmap="gray_r", vmin=0.0, vmax=top,
                      interpolation="nearest")
    if overlays:
        s = obs.vorb * np.sin(np.radians(i))
        ax.plot(obs.lobe[0] * s, obs.lobe[1] * s, color="tab:red", lw=1.0, label="secondary's lobe")
        ax.plot(obs.stream["vx"] * s, obs.stream["vy"] * s, color="tab:blue", lw=1.0, label="stream")
        ax.plot(obs.stream["kepler_vx"] * s, obs.stream["kepler_vy"] * s, color="tab:green", lw=1.0,
                ls="--", label="Keplerian along the stream")
        ax.plot([0, 0], [-obs.k1(i), obs.k2(i)], ls="none", marker="+", ms=9, color="tab:red")
        ax.legend(loc="lower left", fontsize="x-small", frameon=False)
    lim = min(v[-1], 1.6 * obs.vorb * np.sin(np.radians(i)) + 2 * dv) if obs.vorb > 0 else v[-1]
    lim = max(lim, 2.2 * obs.k2(i))
    ax.set_xlim(-lim, lim)
    ax.set_ylim(-lim, lim)
    ax.set_aspect("equal", adjustable="box")
    ax.set_xlabel("$V_x$ (km/s)")
    ax.set_ylabel("$V_y$ (km/s)")
    ax.set_title(f"Doppler map, i = {i:g}°, {len(obs.phase)} phases", fontsize="medium")
    if colorbar:
        ax.figure.colorbar(image, cax=ax.inset_axes([1.03, 0.0, 0.04, 1.0]), label="light per pixel")
    return ax


def trailed_spectrum(obs, inclination=None, ax=None, cycles=2, fold=True):
    """The trailed spectrum of one inclination in greyscale, the emission line against the
    orbital phase over `cycles` cycles. With fold (the default) every observed spectrum is folded
    on the orbital phase and those of each of the 200 phases averaged, as observers bin their
    spectra: one orbit's spectra are as noisy as its particles. Without it, the last whole orbit
    observed (all the spectra when less than an orbit was observed)."""
    obs = _observations(obs)
    i = _inclination(obs, inclination)
    ax = _axes(ax, figsize=(4.8, 5.6))
    spectra, phase = obs.spectra[i], obs.phase
    if fold:
        bins = np.rint(np.mod(phase, 1.0) * 200).astype(int) % 200
        seen = np.unique(bins)
        spectra = np.array([spectra[bins == b].mean(axis=0) for b in seen])
        frac = seen / 200.0
    else:
        n = min(200, len(phase))
        spectra, frac = spectra[-n:], np.mod(phase[-n:], 1.0)
        order = np.argsort(frac, kind="stable")
        spectra, frac = spectra[order], frac[order]
    rows = np.concatenate([spectra] * cycles)
    ph = np.concatenate([frac + c for c in range(cycles)])
    v = obs.velocity
    dv = v[1] - v[0]
    top = np.percentile(rows[rows > 0], 99.5) if np.any(rows > 0) else 1.0
    ax.imshow(np.clip(rows, 0.0, None), origin="lower", aspect="auto", cmap="gray_r", vmin=0.0, vmax=top,
              extent=(v[0] - dv / 2, v[-1] + dv / 2, ph[0], ph[-1] + (ph[1] - ph[0] if len(ph) > 1 else 1.0)),
              interpolation="nearest")
    lim = min(v[-1], 2.0 * obs.vorb * np.sin(np.radians(i)) + 2 * dv)
    ax.set_xlim(-lim, lim)
    ax.set_xlabel("radial velocity (km/s)")
    ax.set_ylabel("orbital phase")
    ax.set_title(f"trailed spectrum, i = {i:g}°", fontsize="medium")
    return ax


def eclipse(obs, ax=None):
    """The eclipse light curves: the visible light of every inclination over the orbital phase,
    each as a fraction of all the light of its phase, and the phases observed."""
    obs = _observations(obs)
    ax = _axes(ax, figsize=(6.4, 3.6))
    total = np.where(obs.total != 0.0, obs.total, 1.0)
    for i in obs.inclinations:
        ax.plot(obs.phase, obs.visible[i] / total, lw=0.8, label=f"i = {i:g}°")
    ax.set_xlabel("orbital phase (orbits)")
    ax.set_ylabel("visible light / all light")
    ax.legend(fontsize="small", frameon=False)
    ax.set_title("eclipse light curves", fontsize="medium")
    return ax


def observations(obs, fig=None):
    """One page of the observations: the Doppler map and trailed spectrum of each inclination
    (up to three) and the eclipse light curves below them."""
    obs = _observations(obs)
    import matplotlib.pyplot as plt

    incl = list(obs.inclinations[:3])
    fig = fig or plt.figure(figsize=(5.2 * len(incl), 13))
    grid = fig.add_gridspec(3, len(incl), height_ratios=[1.0, 1.1, 0.55], hspace=0.4, wspace=0.45)
    for k, i in enumerate(incl):
        doppler_map(obs, i, ax=fig.add_subplot(grid[0, k]))
        trailed_spectrum(obs, i, ax=fig.add_subplot(grid[1, k]))
    eclipse(obs, ax=fig.add_subplot(grid[2, :]))
    return fig
