"""A small superhumping disk: run it, measure its superhump and its disk, and plot them.

A disk round the white dwarf of a system with mass ratio q = 0.15 grows out to the 3:1
resonance, turns eccentric and precesses slowly; the light curve then carries a modulation a
little slower than the orbit, the superhump. Its period excess eps = 1/f - 1 (f in cycles per
orbit) is compared with the eps the disk's precession predicts and with the observed relation
eps = 0.18 q + 0.29 q^2 (Patterson et al. 2005).

    python3 superhump.py [FOLDER]

Runs 40 orbits of 2000 particles (a few minutes) in FOLDER (default: the current folder), writes
the run's files there (about 40 MB), analyses them as `velmora-cli analyse` does and draws
superhump.png. A second start finds the light curve and only analyses and draws again.
"""

import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt

import velmora
from velmora import plot

Q = 0.15
ORBITS = 40
RECORD = 11  # the recording starts once the disk has formed
FIRST = 15  # the light curve's range: the disk reaches the resonance in the first orbits
WINDOW = 10  # orbits of a growth window


def pm(value, error, digits=5):
    if value is None:
        return "-"
    return f"{value:.{digits}f}" + ("" if error is None else f" +- {error:.{digits}f}")


def main(folder="."):
    os.makedirs(folder, exist_ok=True)
    os.chdir(folder)
    if not os.path.exists("superhump_lc.vlm"):
        sim = velmora.Simulation(q=Q, particles=2000, h=0.025)
        sim.run(ORBITS, lc=1, record=RECORD, frame_step=7, restart_every=10, name="superhump", progress=True)
        print(sim.summary)

    # The measurements of velmora-cli analyse superhump --first 15 --window 10 --prec-from 15.
    a = velmora.analyse("superhump", first=FIRST, window=WINDOW, prec_from=FIRST, progress=True)
    s, g, p = a["superhump"], a["growth"], a["disk"]["precession"]
    print(f"Superhump in orbits {s['first_orbit']} to {s['last_orbit']}:")
    if s["detected"]:
        print(f"  f   {pm(s['frequency'], s['frequency_error'])} cycles/orbit, "
              f"{s['significance']:.1f} sigma, semi-amplitude {s['amplitude']:.4f} of the mean")
        print(f"  eps {pm(s['epsilon'], s['epsilon_error'])}")
    else:
        print(f"  none found (upper limit {pm(s['upper_limit'], None, 4)} of the mean)")
    if g["onset_orbit"] is not None:
        print(f"  onset: orbit {g['onset_orbit']} (every window of {WINDOW} orbits from it on detects it); "
              f"mean eps of those windows {pm(g['epsilon_mean'], g['epsilon_mean_error'], 4)}")
    else:
        print(f"  no onset: the last window of {WINDOW} orbits does not detect it")
    if p["measured"]:
        print(f"Disk precession {pm(p['frequency'], p['frequency_error'])} cycles/orbit "
              f"(orbits {p['from']:.1f} to {p['to']:.1f}): eps {pm(p['epsilon'], p['epsilon_error'])}")
    else:
        print(f"Disk precession not measured: {p['note']}")
    print(f"Observed relation for q = {a['q']:.2f}: eps {a['reference']['epsilon_relation']:.4f}", end="")
    if s["q_from_epsilon"] is not None:
        print(f"; the measured eps gives q = {pm(s['q_from_epsilon'], s['q_from_epsilon_error'], 3)}")
    else:
        print()

    # The light curve and the last recorded frame above the analysis's four figures.
    fig = plt.figure(figsize=(12, 13), layout="constrained")
    top, bottom = fig.subfigures(2, 1, height_ratios=[1, 2])
    left, right = top.subplots(1, 2, width_ratios=[1.6, 1])
    plot.lightcurve("superhump_lc.vlm", FIRST, None, ax=left)
    plot.frame(velmora.read_recording("superhump.vlm")[-1], ax=right, color="density")
    plot.analysis(a, fig=bottom)
    fig.savefig("superhump.png", dpi=100)
    print(f"Wrote {os.path.join(folder, 'superhump.png')}")


if __name__ == "__main__":
    main(*sys.argv[1:2])
