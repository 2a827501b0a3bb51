#!/bin/sh
# Builds the fuzz targets (clang++-14, libFuzzer, ASan, UBSan) in build/fuzz
# and runs each for a bounded time over its seed corpus and its kept
# regression inputs.
#
#   fuzz/run.sh                 every target, 60 s each
#   FUZZ_SECONDS=3600 fuzz/run.sh channel_file_fuzzer
#
# New inputs go to build/fuzz/work/<target>, never into fuzz/corpus; a
# crashing input lands in build/fuzz/artifacts/<target>/. Exits non-zero
# when a target finds anything. The last lines of each run are its figures
# (-print_final_stats=1).
set -eu
cd "$(dirname "$0")/.."

SECONDS_EACH="${FUZZ_SECONDS:-60}"
JOBS="${FUZZ_BUILD_JOBS:-2}"
BUILD=build/fuzz
CXX_FUZZ="${CXX_FUZZ:-clang++-14}"

./scripts/install-deps.sh
cmake -S fuzz -B "$BUILD" -G Ninja -DCMAKE_CXX_COMPILER="$CXX_FUZZ" >/dev/null
ninja -C "$BUILD" -j"$JOBS"

targets="${*:-channel_file_fuzzer scene_json_fuzzer lifecycle_fuzzer}"
status=0
for target in $targets; do
  name="${target%_fuzzer}"
  work="$BUILD/work/$name"
  artifacts="$BUILD/artifacts/$name"
  mkdir -p "$work" "$artifacts"
  set -- "$work" "fuzz/corpus/$name"
  if [ -d "fuzz/regressions/$name" ]; then set -- "$@" "fuzz/regressions/$name"; fi
  dict=""
  if [ -f "fuzz/$name.dict" ]; then dict="-dict=fuzz/$name.dict"; fi
  echo "== $target: ${SECONDS_EACH}s over $*"
  # shellcheck disable=SC2086
  if ! ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0" \
       UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
       "$BUILD/$target" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 -timeout=20 \
         -print_final_stats=1 -artifact_prefix="$artifacts/" $dict "$@" \
         >"$BUILD/$name.log" 2>&1; then
    status=1
    echo "!! $target found a fault; input in $artifacts/, log in $BUILD/$name.log"
    tail -n 60 "$BUILD/$name.log"
  fi
  grep -E '^(stat::|Done [0-9]+ runs)' "$BUILD/$name.log" || true
done
exit $status
