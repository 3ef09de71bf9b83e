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
    """The files of a run named NAME (NAME.vlm, NAME_lc.vlm, NAME_rs.vlm), those present."""

    name: str
    recording: object = None
    lightcurve: object = None
    restart: object = None
    frame: object = None  # the recorded frame the page shows
    first: object = None  # the light-curve range (None: every whole orbit)
    last: object = None
    cache: dict = field(default_factory=dict)

    @classmethod
    def find(cls, name, frame=-1, first=None, last=None):
        run = cls(os.fspath(name), first=first, last=last)
        paths = run.paths()
        if os.path.exists(paths["recording"]):
            run.recording = velmora.read_recording(paths["recording"])
            if len(run.recording):
                run.frame = run.recording[frame]
        if os.path.exists(paths["lightcurve"]):
            run.lightcurve = velmora.read_lightcurve(paths["lightcurve"])
        if os.path.exists(paths["restart"]):
            run.restart = velmora.read_restart(paths["restart"])
        return run

    def paths(self):
        return {
            "recording": self.name + ".vlm",
            "lightcurve": self.name + "_lc.vlm",
            "restart": self.name + "_rs.vlm",
        }

    def found(self):
        return any(f is not None for f in (self.recording, self.lightcurve, self.restart))

    def spectrum(self):
        if "spectrum" not in self.cache:
            self.cache["spectrum"] = velmora.spectrum(self.lightcurve, self.first, self.last)
        return self.cache["spectrum"]

    def analysable(self):
        return self.lightcurve is not None and self.lightcurve.orbits >= 1


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
    return "\n".join(lines)


def report(name, out, frame=-1, first=None, last=None):
    """Writes the page of the run NAME to `out` (.pdf, .png or any format matplotlib writes)
    and returns the figure. Raises FileNotFoundError when the run has no file, and
    velmora.FileError for a damaged one."""
    import matplotlib.pyplot as plt

    run = RunFiles.find(name, frame, first, last)
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
        ax = fig.add_subplot(rows, 2, k + 1)
        panel.draw(run, ax)
    fig.savefig(os.fspath(out), dpi=120)
    return fig
