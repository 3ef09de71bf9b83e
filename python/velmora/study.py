"""Figures of a parameter study from its collected table (velmora-cli study collect OUT.tsv).

    python3 -m velmora study OUT.tsv --out FIG.pdf               # eps against q, observed relation
    python3 -m velmora study OUT.tsv --out r50.png --x q --y r50  # any measurement, any parameter

Reads OUT.results.csv with the standard library and draws with matplotlib; it needs nothing of
the compiled module, so it also runs as a script: python3 python/velmora/study.py OUT.tsv ...
Exit codes as velmora-cli's: 0 written, 1 a missing or unreadable table, 2 a usage error.
"""

import argparse
import csv
import math
import os
import sys

# The parameters of a study table; every other numeric column is a measurement.
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
    varying = [p for p in PARAMETERS if p != x and len({r.get(p) for r in rows}) > 1]
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
    # eps over the whole light curve misses a superhump that starts late or drifts; the windows from
    # the onset on still measure it, so the default figure draws both (open markers for the windows).
    ys = [y]
    if y == "eps" and "eps_after_onset" in columns and any(number(r.get("eps_after_onset", "")) is not None
                                                          for r in done):
        ys.append("eps_after_onset")
    missing = []
    for key, group in _series(done, x).items():
        label = ", ".join(f"{p} {v}" for p, v in key)
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
                name += ", windows from the onset on"
            elif len(ys) > 1:
                name += ", whole light curve"
            xs, vs, es = zip(*pts)
            errs = [e if e is not None else 0.0 for e in es]
            style = dict(fmt="o-", ms=5) if n == 0 else dict(fmt="o:", ms=6, mfc="none")
            line = ax.errorbar(xs, vs, yerr=errs if any(errs) else None, capsize=3, label=name,
                               color=None if n == 0 else last_color, **style)
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
