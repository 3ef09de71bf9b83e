"""The progress line of Simulation.run(progress=True), written to standard error."""

import sys
import time


def _clock(seconds):
    t = int(seconds)
    if t >= 3600:
        return f"{t // 3600}:{t // 60 % 60:02d}:{t % 60:02d}"
    return f"{t // 60}:{t % 60:02d}"


class Printer:
    """Called between phases with (orbit, phase). On a terminal a bar redrawn every 0.1 s;
    elsewhere (a log, a notebook) one line per completed orbit."""

    def __init__(self, sim, first_orbit, last_orbit, stream=None):
        self.sim = sim
        self.first = first_orbit
        self.last = last_orbit
        self.stream = stream if stream is not None else sys.stderr
        self.bar = bool(getattr(self.stream, "isatty", lambda: False)())
        self.start = time.monotonic()
        self.drawn = 0.0
        self.shown = False

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

    def close(self):
        if self.shown:
            self.stream.write("\n")
            self.stream.flush()
            self.shown = False
