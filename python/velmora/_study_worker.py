"""A worker of a study's local pool or of a Slurm array task when the study is run from Python:

    python3 -m velmora._study_worker TABLE --task K [--threads N]

runs row K of the table in this process, as `velmora-cli study run TABLE --task K` does (the same
files, progress lines on standard error, a stop on Ctrl-C or SIGTERM with every file complete),
and exits with its code: 0 done, 1 failed, 130 stopped, 2 a bad table or option.
"""

import argparse
import sys


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m velmora._study_worker")
    parser.add_argument("table")
    parser.add_argument("--task", type=int, required=True)
    parser.add_argument("--threads", type=int, default=0)
    parser.add_argument("--quiet", action="store_true")
    args = parser.parse_args(argv)
    from velmora import _velmora

    try:
        table = _velmora._StudyTable(args.table)
        return table.run_row(args.task, threads=args.threads, quiet=args.quiet)
    except KeyboardInterrupt:
        return 130
    except _velmora.FileError as e:
        print(f"velmora study run: {e}", file=sys.stderr)
        return 1
    except ValueError as e:
        print(f"velmora study run: {e}", file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
