#!/bin/sh
# Line and branch coverage of plugin/ and host/ by the test suite: builds
# the coverage preset (gcc --coverage, -O0), runs every test, then prints
# gcovr's summary for each folder and writes the per-file table to
# build/coverage/coverage-<folder>.txt.
#
#   scripts/coverage.sh
#
# It is also a gate: it fails when a test fails, when plugin/'s line
# coverage is under 98% or when its branch coverage by source branch is
# under 90%. host/ is measured, not gated.
#
# Branches the compiler adds for exceptions it may throw and branches it
# marks unreachable are left out of the branch figure (gcovr's
# --exclude-throw-branches, --exclude-unreachable-branches). gcovr counts
# each instantiation of a template apart; scripts/branch_coverage.py then
# gives the figure by source branch, each branch counted once.
#
# SKIP_DEPS=1 skips the package check.
set -eu
cd "$(dirname "$0")/.."
[ -n "${SKIP_DEPS:-}" ] || ./scripts/install-deps.sh
BUILD=build/coverage
cmake --preset coverage >/dev/null
cmake --build --preset coverage
find "$BUILD" -name '*.gcda' -delete
ctest --preset coverage
for folder in plugin host; do
  echo "== $folder/"
  floor=""
  [ "$folder" = plugin ] && floor="--fail-under-line 98"
  # shellcheck disable=SC2086
  status=0
  gcovr --root . --filter "$folder/" --exclude-throw-branches --exclude-unreachable-branches \
    --txt "$BUILD/coverage-$folder.txt" --print-summary --branches $floor "$BUILD" \
    >"$BUILD/summary-$folder.txt" || status=$?
  grep -E '^(lines|branches):' "$BUILD/summary-$folder.txt"
  [ "$status" -eq 0 ] || { echo "coverage: $folder/ lines below the floor" >&2; exit 1; }
done
python3 scripts/branch_coverage.py "$BUILD" plugin --fail-under=90
python3 scripts/branch_coverage.py "$BUILD" host
