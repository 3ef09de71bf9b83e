"""A small superhumping disk: run it, find the superhump in its light curve, and plot it.

A disk round the white dwarf of a system with mass ratio q = 0.15 grows out to the 3:1
resonance, turns eccentric and precesses slowly; the light curve then carries a modulation a
little slower than the orbit, the superhump. Its period excess eps = 1/f - 1 (f in cycles per
orbit) is compared with the observed relation eps = 0.18 q + 0.29 q^2 (Patterson et al. 2005).

    python3 superhump.py [FOLDER]

Runs 40 orbits of 2000 particles (a few minutes) in FOLDER (default: the current folder) and
writes the run's files there with superhump.png. A second start finds the light curve and only
draws the figure again.
"""

import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np

import velmora
from velmora import plot

Q = 0.15
ORBITS = 40
FIRST = 15  # the disk reaches the resonance and the superhump grows in the first orbits


def main(folder="."):
    os.makedirs(folder, exist_ok=True)
    os.chdir(folder)
    if not os.path.exists("superhump_lc.vlm"):
        sim = velmora.Simulation(q=Q, particles=2000, h=0.025)
        sim.run(ORBITS, lc=1, record=ORBITS, frame_step=7, restart_every=10, name="superhump", progress=True)
        print(sim.summary)

    lc = velmora.read_lightcurve("superhump_lc.vlm")
    s = velmora.spectrum(lc, FIRST, lc.orbits)
    near = (s.frequency > 0.8) & (s.frequency < 1.2)
    k = np.argmax(np.where(near, s.amplitude, 0))
    f = float(s.frequency[k])
    eps = 1 / f - 1
    observed = 0.18 * Q + 0.29 * Q**2
    significant = s.amplitude[k] >= s.threshold
    print(f"strongest signal near the orbit: {f:.4f} cycles/orbit, amplitude {s.amplitude[k]:.4f} "
          f"({'above' if significant else 'below'} the 5-sigma level {s.threshold:.4f})")
    print(f"period excess {eps:.3f}; observed systems with q = {Q}: {observed:.3f}")

    fig = plt.figure(figsize=(12, 7), layout="constrained")
    left, right = fig.subfigures(1, 2, width_ratios=[1.4, 1])
    top, bottom = left.subplots(2, 1)
    plot.lightcurve(lc, FIRST, lc.orbits, ax=top)
    plot.spectrum(s, ax=bottom)
    bottom.axvline(f, color="C2", lw=0.8, ls=":")
    bottom.set_title(f"superhump at {f:.3f} cycles/orbit: period excess {eps:.3f} (observed {observed:.3f})",
                     fontsize="medium")
    rec = velmora.read_recording("superhump.vlm")
    plot.frame(rec[-1], ax=right.subplots(), color="density")
    fig.savefig("superhump.png", dpi=110)
    print(f"Wrote {os.path.join(folder, 'superhump.png')}")


if __name__ == "__main__":
    main(*sys.argv[1:2])
