#!/bin/sh
# Mutation campaign over plugin/ and the engine's tagged file reader,
# writer and record checksum: plants one small fault at a time (a flipped
# comparison, a changed constant, a deleted call...), rebuilds the
# `mutation` preset (build/mutation: -O1, no -Werror) incrementally, and
# runs the fast subset of the tests (the plug-in's, the lifecycle model,
# the fault catalogue, the engine's); a mutant they miss is run against the
# whole suite before it counts as a survivor. Run by hand, not in .ci/run:
# it takes about an hour on two cores.
#
#   scripts/mutation.sh [--seed N] [--count N] [--jobs N] [--resume] ...
#   scripts/mutation.sh list              the sample, nothing built
#   scripts/mutation.sh score             the summary of the last run
#
# Results: build/mutation/results.jsonl (one mutant a line), the summary per
# folder on stdout, each mutant's build and test log in
# build/mutation/mutants/logs/. Survivors a test cannot tell apart from the
# original are listed, with the reason, in scripts/mutation_equivalent.txt.
# The mutated file is always put back, on an interrupt too; should the run
# be killed outright, the next run (or this script's exit) restores it from
# build/mutation/mutants/original. Build no other preset of this tree while
# it runs: a file compiled while a mutant was in it and finished after the
# mutant went looks up to date to ninja (touch the sources to mend that).
set -eu
cd "$(dirname "$0")/.."
BUILD=build/mutation
STATE=$BUILD/mutants

restore() {
  if [ -f "$STATE/planted" ]; then
    planted="$(cat "$STATE/planted")"
    cp "$STATE/original" "$planted"
    rm -f "$STATE/planted"
    echo "mutation: restored $planted" >&2
  fi
}
restore
trap restore EXIT
trap 'restore; exit 130' INT TERM HUP

case "${1:-run}" in
  list) shift; exec python3 scripts/mutation.py list "$@" ;;
  score) shift; exec python3 scripts/mutation.py score "$@" ;;
  run) [ $# -gt 0 ] && shift ;;
esac

mkdir -p "$STATE"
[ -f "$BUILD/build.ninja" ] || cmake --preset mutation >/dev/null
echo "mutation: building $BUILD and checking that the tests pass unmutated" >&2
cmake --build "$BUILD" -j2 >"$STATE/baseline.log" 2>&1 ||
  { echo "mutation: the unmutated build fails (see $STATE/baseline.log)" >&2; exit 1; }
ctest --test-dir "$BUILD" -j2 >>"$STATE/baseline.log" 2>&1 ||
  { echo "mutation: the unmutated suite fails (see $STATE/baseline.log)" >&2; exit 1; }
python3 scripts/mutation.py run "$@"
