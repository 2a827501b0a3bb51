"""``python3 -m dravik run SCENE --procedures FILE.py [options]``: ``dravik run`` with procedures written in Python.

The procedure files run first (their ``@dravik.procedure`` definitions
register), then the scene runs exactly as ``dravik run`` runs it: the same
options, output, messages and exit codes (0 success, 1 failure, 2 usage, 4
``--strict`` saw a call fail).
"""

import argparse
import runpy
import signal
import sys
import traceback

from . import _dravik
from ._scene import MAX_FRAMES, _modules_dir


def _frames(text):
    value = int(text)
    if not 0 <= value <= MAX_FRAMES:
        raise argparse.ArgumentTypeError(f"{value} is not in 0 to {MAX_FRAMES}")
    return value


def parser():
    """The command line: the ``run`` command with the options of ``dravik run`` and ``--procedures``."""
    top = argparse.ArgumentParser(prog="python3 -m dravik",
                                  description="Run dravik scenes with procedures written in Python.")
    top.add_argument("--version", action="version", version=f"dravik {_dravik.version} (Python module)")
    commands = top.add_subparsers(dest="command", required=True, metavar="COMMAND")
    run = commands.add_parser("run", help="run a scene (the built-in tour when none is given)",
                              description="Run a scene as `dravik run` does, with the procedures of "
                                          "Python files.")
    run.add_argument("scene", nargs="?", default="", metavar="SCENE",
                     help="a JSON scene, or a file saved with --save to go on with")
    run.add_argument("--procedures", action="append", default=[], metavar="FILE.py",
                     help="a Python file defining procedures with @dravik.procedure (may be given again)")
    run.add_argument("--frames", "-n", type=_frames, help="frames to run (default: the scene's)")
    run.add_argument("--modules", help="folder of channel modules (default: the package's)")
    run.add_argument("--save", default="", metavar="FILE", help="save the scene to FILE after the last frame")
    run.add_argument("--report", default="", metavar="FILE.html", help="write an HTML report of the run")
    run.add_argument("--format", "-f", choices=["table", "csv", "jsonl"], default="table", help="output")
    run.add_argument("--force", action="store_true", help="let --save and --report replace a file of another kind")
    run.add_argument("--strict", action="store_true", help="exit 4 when any call answered 1.0 or 3.0")
    run.add_argument("-v", "--verbose", action="count", default=0, help="more message levels (-v info, -vv debug)")
    run.add_argument("-q", "--quiet", action="store_true", help="only alerts (table and csv)")
    run.add_argument("--watch", action="append", metavar="ID,...",
                     help="watch these channels instead of the scene's (may be given again)")
    return top


def main(argv=None):
    """Runs the command line ``argv``; returns the exit code."""
    args = parser().parse_args(argv)
    for file in args.procedures:
        try:
            runpy.run_path(file, run_name="__dravik_procedures__")
        except Exception as e:  # noqa: BLE001 -- any failure of the user's file is reported the same way
            where = [f for f in traceback.extract_tb(e.__traceback__) if f.filename == file]
            line = f" (line {where[-1].lineno})" if where else ""
            print(f"dravik: {file}{line}: {type(e).__name__}: {e}", file=sys.stderr)
            return 1
    # Ctrl-C ends the run at once, as it ends `dravik run`.
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    sys.stdout.flush()
    sys.stderr.flush()
    level = 0 if args.quiet else 1 + args.verbose
    return _dravik.run_command(args.scene, args.modules or _modules_dir(), args.frames, args.save, args.force,
                               args.strict, args.report, args.format, level, args.watch)


if __name__ == "__main__":
    sys.exit(main())
