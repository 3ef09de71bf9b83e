"""One page on a run: its files found by the run's name, and a panel for each figure that
they allow (python3 -m velmora report NAME --out report.pdf).

A panel is a title, a test of the run's files and a drawing function; PANELS lists them in
page order, so a new figure is one more entry.
"""

import os
from dataclasses import dataclass, field

import velmora
from velmora import plot


@dataclass
class RunFiles:
    """The files of a run named NAME (NAME.vlm, NAME_lc.vlm, NAME_rs.vlm, NAME_obs.fits), those
    present."""

    name: str
    recording: object = None
    lightcurve: object = None
    restart: object = None
    observations: object = None
    frame: object = None  # the recorded frame the page shows
    first: object = None  # the light-curve range (None: every whole orbit)
    last: object = None
    window: int = 20  # orbits of a growth window of the analysis
    progress: object = None  # of the analysis: True, a callable or None
    cache: dict = field(default_factory=dict)

    @classmethod
    def find(cls, name, frame=-1, first=None, last=None, window=20, progress=None):
        run = cls(os.fspath(name), first=first, last=last, window=window, progress=progress)
        paths = run.paths()
        if os.path.exists(paths["recording"]):
            run.recording = velmora.read_recording(paths["recording"])
            if len(run.recording):
                run.frame = run.recording[frame]
        if os.path.exists(paths["lightcurve"]):
            run.lightcurve = velmora.read_lightcurve(paths["lightcurve"])
        if os.path.exists(paths["restart"]):
            run.restart = velmora.read_restart(paths["restart"])
        if os.path.exists(paths["observations"]):
            run.observations = velmora.read_observations(paths["observations"])
        return run

    def paths(self):
        return {
            "recording": self.name + ".vlm",
            "lightcurve": self.name + "_lc.vlm",
            "restart": self.name + "_rs.vlm",
            "observations": self.name + "_obs.fits",
        }

    def found(self):
        return any(f is not None for f in (self.recording, self.lightcurve, self.restart, self.observations))

    def observed(self):
        return self.observations is not None and len(self.observations.phase) > 0

    def spectrum(self):
        if "spectrum" not in self.cache:
            self.cache["spectrum"] = velmora.spectrum(self.lightcurve, self.first, self.last)
        return self.cache["spectrum"]

    def analysable(self):
        return self.lightcurve is not None and self.lightcurve.orbits >= 1

    def analysis(self):
        """The run's velmora.analyse, over the page's light-curve range."""
        if "analysis" not in self.cache:
            chosen = {"first": self.first, "last": self.last} if self.analysable() else {}
            self.cache["analysis"] = velmora.analyse(self.name, window=self.window, progress=self.progress, **chosen)
        return self.cache["analysis"]

    def superhumps(self):
        return self.analysable() and len(self.analysis().spectrum) > 0

    def grows(self):
        return self.analysable() and len(self.analysis().windows) > 0

    def disk(self):
        return self.recording is not None and len(self.analysis().frames) > 0


@dataclass
class Panel:
    title: str
    applies: object  # RunFiles -> bool
    draw: object  # (RunFiles, axes) -> None


def _restart_view(run, ax):
    r = run.restart
    points = ax.scatter(r.x, r.y, c=r.u, s=float(min(12.0, max(0.5, 3000.0 / max(r.npart, 1)))), cmap="inferno", lw=0)
    ax.set_aspect("equal", adjustable="box")
    ax.set_xlabel("x (separation)")
    ax.set_ylabel("y (separation)")
    ax.set_title(f"restart file: orbit {r.iorbit}, {r.npart} particles", fontsize="medium")
    ax.figure.colorbar(points, cax=ax.inset_axes([1.03, 0.0, 0.04, 1.0]), label="specific energy u")


PANELS = [
    Panel("density", lambda run: run.frame is not None, lambda run, ax: plot.frame(run.frame, ax, "density")),
    Panel("temperature", lambda run: run.frame is not None, lambda run, ax: plot.frame(run.frame, ax, "temperature")),
    Panel(
        "particles",
        lambda run: run.frame is None and run.restart is not None and run.restart.npart > 0,
        _restart_view,
    ),
    Panel("light curve", lambda run: run.analysable(), lambda run, ax: plot.lightcurve(run.lightcurve, run.first, run.last, ax)),
    Panel("spectrum", lambda run: run.analysable(), lambda run, ax: plot.spectrum(run.spectrum(), ax)),
    Panel("superhump", RunFiles.superhumps, lambda run, ax: plot.superhump(run.analysis(), ax)),
    Panel("growth", RunFiles.grows, lambda run, ax: plot.growth(run.analysis(), ax)),
    Panel("disk radii", RunFiles.disk, lambda run, ax: plot.radii(run.analysis(), ax)),
    Panel("eccentricity", RunFiles.disk, lambda run, ax: plot.eccentricity(run.analysis(), ax)),
    Panel("Doppler map", RunFiles.observed, lambda run, ax: plot.doppler_map(run.observations, ax=ax)),
    Panel("trailed spectrum", RunFiles.observed, lambda run, ax: plot.trailed_spectrum(run.observations, ax=ax)),
    Panel("eclipse curves", RunFiles.observed, lambda run, ax: plot.eclipse(run.observations, ax=ax)),
]


def heading(run):
    """The page's title lines: the run, its parameters and the files found."""
    lines = [f"Velmora {velmora.__version__}: run {os.path.basename(run.name)}"]
    if run.restart is not None:
        r = run.restart
        lines.append(
            f"M1 {r.m1:.3f} Msun   M2 {r.m2:.3f} Msun   q {r.q:.3f}   h {r.hsph:.4f}   "
            f"alpha {r.alpha:.2f}   beta {r.beta:.2f}   orbit {r.iorbit}   {r.npart} particles"
        )
    parts = []
    if run.recording is not None:
        parts.append(f"recording: {len(run.recording)} frames")
    if run.lightcurve is not None:
        parts.append(f"light curve: {run.lightcurve.orbits} whole orbits")
    if run.analysable():
        s = run.spectrum()
        peaks = ", ".join(f"{p['frequency']:.4f}" for p in s.peaks[:4]) or "none"
        parts.append(f"peaks (cycles/orbit): {peaks}")
    if parts:
        lines.append("   ".join(parts))
    if run.analysable() or run.recording is not None:
        lines.append(_measured(run.analysis()))
    return "\n".join(lines)


def _measured(a):
    """A line of the analysis's main numbers."""
    parts = []
    s, g, d = a.get("superhump"), a.get("growth"), a.get("disk")
    if s is not None:
        if s["detected"]:
            parts.append(f"superhump eps {s['epsilon']:.5f} +- {s['epsilon_error']:.5f}")
        else:
            parts.append("no superhump")
    if g is not None and g["onset_orbit"] is not None:
        parts.append(f"onset orbit {g['onset_orbit']}")
    if d is not None and d["precession"]["measured"]:
        p = d["precession"]
        parts.append(f"precession eps {p['epsilon']:.5f} +- {p['epsilon_error']:.5f}")
    if a.get("reference") is not None:
        parts.append(f"q {a['q']:.3f}: relation's eps {a['reference']['epsilon_relation']:.4f}")
    return "   ".join(parts)


def report(name, out, frame=-1, first=None, last=None, window=20, progress=None):
    """Writes the page of the run NAME to `out` (.pdf, .png or any format matplotlib writes)
    and returns the figure. `window` is the analysis's growth window in orbits, `progress` that
    of velmora.analyse (True: on standard error). Raises FileNotFoundError when the run has no
    file, and velmora.FileError for a damaged one."""
    import matplotlib.pyplot as plt

    run = RunFiles.find(name, frame, first, last, window, progress)
    if not run.found():
        looked = ", ".join(run.paths().values())
        raise FileNotFoundError(f"no file of the run {run.name}: looked for {looked}")
    panels = [p for p in PANELS if p.applies(run)]
    rows = max(1, (len(panels) + 1) // 2)
    fig = plt.figure(figsize=(11.69, 2.2 + 4.2 * rows), layout="constrained")
    fig.suptitle(heading(run), fontsize="medium", ha="left", x=0.02)
    if not panels:
        fig.text(0.5, 0.5, "the run's files hold nothing to draw yet", ha="center")
    for k, panel in enumerate(panels):
        ax = fig.add_subplot(rows, 2, k + 1, label=panel.title)
        panel.draw(run, ax)
    fig.savefig(os.fspath(out), dpi=120)
    return fig
