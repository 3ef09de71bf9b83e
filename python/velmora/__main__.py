"""python3 -m velmora report NAME --out report.pdf: one page on a run from its files.
python3 -m velmora study OUT.tsv --out FIG.pdf: a figure of a parameter study's collected table.

Exit codes as velmora-cli's: 0 written, 1 a missing or damaged file, 2 a usage error.
"""

import argparse
import sys


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m velmora", description="The velmora Python module's commands.")
    commands = parser.add_subparsers(dest="command", required=True, metavar="COMMAND")
    rep = commands.add_parser(
        "report",
        help="one page on a run: a recorded frame, the light curve and its spectrum, the analysis",
        description="One page on the run NAME from its files in the current folder (NAME.vlm, NAME_lc.vlm, "
        "NAME_rs.vlm): the last recorded frame by density and temperature, the light curve and its spectrum, "
        "and the run's analysis as velmora-cli analyse measures it (the superhump and its growth, the disk's "
        "radii and m = 1 eccentricity), each where the files allow.",
    )
    rep.add_argument("name", metavar="NAME", help="the run's base name (a folder may precede it)")
    rep.add_argument("--out", required=True, help="the page to write: .pdf, .png, .svg")
    rep.add_argument("--frame", type=int, default=-1, help="recorded frame to show, from 0 (default: the last)")
    rep.add_argument("--first", type=int, help="first orbit of the light curve's range (default 1)")
    rep.add_argument("--last", type=int, help="last orbit of the range (default: the last whole orbit)")
    rep.add_argument("--window", type=int, default=20, help="orbits of a growth window of the analysis (default 20)")
    rep.add_argument("--quiet", action="store_true", help="no progress of the analysis")
    from velmora import study

    stu = commands.add_parser(
        "study",
        help="a figure of a parameter study: eps against q beside the observed relation, or any measurement "
        "against any parameter",
        description="A figure of a parameter study from OUT.results.csv (velmora-cli study collect OUT.tsv): eps "
        "against q beside the observed relation eps = 0.18 q + 0.29 q^2, or any measurement against any parameter.",
    )
    study.add_arguments(stu)
    args = parser.parse_args(argv)
    if args.command == "study":
        return study.run(args)

    import matplotlib

    matplotlib.use("Agg")  # the page goes to a file
    import velmora
    from velmora import report

    try:
        report.report(
            args.name,
            args.out,
            frame=args.frame,
            first=args.first,
            last=args.last,
            window=args.window,
            progress=not args.quiet,
        )
    except (OSError, velmora.FileError) as e:
        print(f"velmora report: {e}", file=sys.stderr)
        return 1
    except (ValueError, IndexError) as e:
        # A range of orbits or a frame the files do not hold.
        print(f"velmora report: {e}", file=sys.stderr)
        return 2
    print(f"Wrote {args.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
