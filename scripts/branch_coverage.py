#!/usr/bin/env python3
"""Branch coverage by source branch, from the gcov data of a build.

gcovr counts the branches of every instantiation of a template apart, so a
template used by the module and by a test channel shows each of its
branches twice, and a side one instantiation never needs reads as missed.
Here a branch of a source line counts once, and is taken when any
instantiation, in any object file, takes it. Branches the compiler adds
for exceptions are left out, as gcovr's --exclude-throw-branches does.

    scripts/branch_coverage.py BUILD_DIR FOLDER [FOLDER...]

Prints "FOLDER/: taken/total = percent" per folder and, with -v, the lines
holding an untaken branch. With --fail-under=PERCENT, exits 1 when any
folder's figure is below it. Needs gcc's gcov (--json-format, gcc 9 or later).
"""
import collections
import gzip
import json
import os
import subprocess
import sys
import tempfile


def gcov_records(build, workdir):
    for top, _, files in os.walk(build):
        for name in files:
            if not name.endswith(".gcda"):
                continue
            subprocess.run(["gcov", "--json-format", "--branch-probabilities", "--stdout",
                            os.path.join(top, name)],
                           cwd=workdir, check=True, stdout=open(os.path.join(workdir, "out"), "wb"),
                           stderr=subprocess.DEVNULL)
            with open(os.path.join(workdir, "out"), "rb") as out:
                data = out.read()
            for chunk in data.splitlines():
                if chunk.strip():
                    yield json.loads(chunk)


def main(argv):
    verbose = "-v" in argv
    floor = None
    for a in argv:
        if a.startswith("--fail-under="):
            floor = float(a.split("=", 1)[1])
    args = [a for a in argv if a != "-v" and not a.startswith("--fail-under=")]
    if len(args) < 2:
        sys.exit(__doc__)
    build, folders = os.path.abspath(args[0]), [f.rstrip("/") + "/" for f in args[1:]]
    root = os.getcwd()
    # (file, line) -> instantiation -> taken flag per branch
    lines = collections.defaultdict(dict)
    with tempfile.TemporaryDirectory() as workdir:
        for record in gcov_records(build, workdir):
            cwd = record.get("current_working_directory", "")
            for source in record["files"]:
                path = os.path.relpath(os.path.normpath(os.path.join(cwd, source["file"])), root)
                if not any(path.startswith(f) for f in folders):
                    continue
                for line in source["lines"]:
                    taken = [b["count"] > 0 for b in line["branches"] if not b.get("throw")]
                    if not taken:
                        continue
                    seen = lines[(path, line["line_number"])]
                    key = line.get("function_name", "")
                    old = seen.get(key)
                    seen[key] = taken if old is None or len(old) != len(taken) else \
                        [a or b for a, b in zip(old, taken)]
    below = []
    for folder in folders:
        total = covered = 0
        missed = collections.defaultdict(list)
        for (path, number), seen in sorted(lines.items()):
            if not path.startswith(folder):
                continue
            width = max(len(v) for v in seen.values())
            taken = [False] * width
            for v in seen.values():
                if len(v) == width:
                    taken = [a or b for a, b in zip(taken, v)]
            total += width
            covered += sum(taken)
            if not all(taken):
                missed[path].append(number)
        share = 100.0 * covered / total if total else 100.0
        print(f"{folder}: branches by source {covered}/{total} = {share:.1f}%")
        if floor is not None and share < floor:
            below.append(f"{folder} {share:.1f}% < {floor:g}%")
        if verbose:
            for path, numbers in missed.items():
                print(f"  {path}: {', '.join(map(str, numbers))}")
    if below:
        sys.exit("branch_coverage: below the floor: " + "; ".join(below))


if __name__ == "__main__":
    main(sys.argv[1:])
