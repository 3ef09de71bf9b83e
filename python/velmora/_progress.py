"""The progress lines of Simulation.run(progress=True) and velmora.analyse(progress=True),
written to standard error."""

import sys
import time


def _clock(seconds):
    t = int(seconds)
    if t >= 3600:
        return f"{t // 3600}:{t // 60 % 60:02d}:{t % 60:02d}"
    return f"{t // 60}:{t % 60:02d}"


class _Lines:
    """Progress on a stream: a bar redrawn in place on a terminal, whole lines elsewhere (a log,
    a notebook)."""

    def __init__(self, stream=None):
        self.stream = stream if stream is not None else sys.stderr
        self.bar = bool(getattr(self.stream, "isatty", lambda: False)())
        self.start = time.monotonic()
        self.drawn = 0.0
        self.shown = False

    def close(self):
        """Ends the bar's line."""
        if self.shown:
            self.stream.write("\n")
            self.stream.flush()
            self.shown = False


class Printer(_Lines):
    """Called between phases with (orbit, phase). On a terminal a bar redrawn every 0.1 s;
    elsewhere one line per completed orbit."""

    def __init__(self, sim, first_orbit, last_orbit, stream=None):
        super().__init__(stream)
        self.sim = sim
        self.first = first_orbit
        self.last = last_orbit

    def __call__(self, orbit, phase):
        elapsed = time.monotonic() - self.start
        if self.bar:
            now = time.monotonic()
            if now - self.drawn < 0.1 and phase != 200:
                return
            self.drawn = now
            total = max(self.last - self.first, 1)
            frac = min((orbit - 1 - self.first + phase / 200) / total, 1.0)
            filled = int(frac * 24)
            self.stream.write(
                f"\r[{'#' * filled}{'.' * (24 - filled)}] {100 * frac:5.1f}%  orbit {orbit}/{self.last}"
                f"  phase {phase:3d}/200  particles {self.sim.npart:5d}  {_clock(elapsed)} "
            )
            self.shown = True
        elif phase == 200:
            self.stream.write(f"orbit {orbit}/{self.last}  particles {self.sim.npart}  elapsed {_clock(elapsed)}\n")
        self.stream.flush()


class StagePrinter(_Lines):
    """Called with (stage, done, total) by a long analysis, as velmora-cli analyse shows it: on a
    terminal a bar redrawn every 0.1 s, elsewhere a line at every tenth of a stage."""

    def __init__(self, stream=None):
        super().__init__(stream)
        self.stage = None
        self.tenth = -1

    def __call__(self, stage, done, total):
        if total <= 0:
            return
        if stage != self.stage:
            self.close()
            self.stage, self.tenth, self.drawn = stage, -1, 0.0
        frac = min(done / total, 1.0)
        now = time.monotonic()
        if self.bar:
            if frac < 1.0 and now - self.drawn < 0.1:
                return
            self.drawn = now
            filled = min(24, int(frac * 24 + 1e-9))
            self.stream.write(
                f"\r[{'#' * filled}{'.' * (24 - filled)}] {100 * frac:5.1f}%  {stage}  {now - self.start:.1f} s "
            )
            self.shown = True
        else:
            tenth = int(frac * 10 + 1e-9)
            if tenth == self.tenth:
                return
            self.tenth = tenth
            self.stream.write(f"{stage} {10 * tenth:3d}%  elapsed {now - self.start:.1f} s\n")
        self.stream.flush()
