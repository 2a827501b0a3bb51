#!/bin/sh
# Runs a program under valgrind memcheck and fails on any memory error or
# any byte definitely lost:
#
#   scripts/valgrind.sh build/dev/bin/dravik run
#
# Exits 77 (the skip code of the ctest case) when valgrind is missing.
# Memory still reachable at exit (the loaded modules' and libraries' own
# static data) is reported in the log but does not fail the run.
set -eu
if ! command -v valgrind >/dev/null 2>&1; then
  echo "valgrind.sh: valgrind is not installed; skipped" >&2
  exit 77
fi
log="${VALGRIND_LOG:-${TMPDIR:-/tmp}/valgrind.$$.log}"
status=0
valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
  --show-leak-kinds=definite --errors-for-leak-kinds=definite \
  --track-origins=yes --num-callers=30 --log-file="$log" "$@" >/dev/null || status=$?
grep -E "ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|still reachable|in use at exit" "$log" || true
if [ "$status" -ne 0 ]; then
  echo "valgrind.sh: exit status $status; full log:" >&2
  cat "$log" >&2
fi
[ -n "${VALGRIND_LOG:-}" ] || rm -f "$log"
exit "$status"
