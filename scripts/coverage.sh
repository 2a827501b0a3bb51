#!/bin/sh
# Line and branch coverage of plugin/ and host/ by the test suite: builds
# the coverage preset (gcc --coverage, -O0), runs every test, then prints
# gcovr's summary for each folder and writes the per-file table to
# build/coverage/coverage-<folder>.txt.
#
#   scripts/coverage.sh
#
# Branches the compiler adds for exceptions it may throw and branches it
# marks unreachable are left out of the branch figure (gcovr's
# --exclude-throw-branches, --exclude-unreachable-branches).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD=build/coverage
cmake --preset coverage >/dev/null
cmake --build --preset coverage
find "$BUILD" -name '*.gcda' -delete
ctest --preset coverage >"$BUILD/ctest.log" 2>&1 || { tail -n 30 "$BUILD/ctest.log"; exit 1; }
tail -n 3 "$BUILD/ctest.log"
for folder in plugin host; do
  echo "== $folder/"
  gcovr --root . --filter "$folder/" --exclude-throw-branches --exclude-unreachable-branches \
    --txt "$BUILD/coverage-$folder.txt" --print-summary --branches "$BUILD" | tail -n 2
done
