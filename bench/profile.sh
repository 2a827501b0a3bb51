#!/usr/bin/env bash
# Counts the instructions of one evaluation of each evaluation case under
# callgrind: repeatable where times on a shared machine are not.
#
#   bench/profile.sh [BUILD_DIR] [CASE_REGEX]   defaults: build/dev, ^(Eval|NotDue)_
#
# For each case, the operation timed is the callee that the case's loop
# calls most often (GetFloat of the channel, or Execute); its inclusive
# instructions divided by its calls are printed, then its own callees per
# call, two levels down. KEEP=DIR keeps the callgrind files for callgrind_annotate.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/dev}
filter=${2:-'^(Eval|NotDue)_'}
exe=$build/bin/prccall_bench
command -v valgrind >/dev/null || { echo "profile.sh: valgrind is not installed" >&2; exit 1; }
[[ -x $exe ]] || { echo "profile.sh: missing $exe; build prccall_bench first" >&2; exit 1; }

out=${KEEP:-$(mktemp -d)}
mkdir -p "$out"
[[ -n ${KEEP:-} ]] || trap 'rm -rf "$out"' EXIT

cases=$("$exe" --benchmark_list_tests=true --benchmark_filter="$filter")
for c in $cases; do
  file=$out/$c.callgrind
  valgrind --tool=callgrind --callgrind-out-file="$file" "$exe" \
    --benchmark_filter="^$c\$" --benchmark_min_time=0.01 >/dev/null 2>&1
  # In the caller tree, a "<" line of the case's loop (Evaluate, NotDue,
  # ExecuteReady) above a "*" line names the loop's callee with its cost
  # and calls; the most called one is the operation.
  callgrind_annotate --inclusive=yes --tree=calling "$file" 2>/dev/null | awk -v name="$c" '
    function fn(line) { sub(/^[^*<>]*[*<>] +[^:]*:/, "", line); sub(/ \[[^]]*\]$/, "", line); sub(/ \([0-9,]+x\)$/, "", line); return line }
    function count(line) { if (match(line, /\([0-9,]+x\)/)) { s = substr(line, RSTART + 1, RLENGTH - 3); gsub(/,/, "", s); return s + 0 } return 0 }
    function cost(line) { s = line; sub(/^ */, "", s); sub(/ .*/, "", s); gsub(/,/, "", s); return s + 0 }
    / \*  / { loop = (fn($0) ~ /bench::\(anonymous namespace\)::(Evaluate|NotDue|ExecuteReady)/); current = fn($0); next }
    / >   / {
      if (loop && count($0) > calls) { calls = count($0); top = fn($0); total = cost($0) }
      children[current] = children[current] "\n" $0
    }
    function show(f, depth,    n, lines, i) {  # callees of f per call, two levels down
      n = split(children[f], lines, "\n")
      for (i = 1; i <= n; ++i) {
        if (lines[i] == "" || count(lines[i]) < calls / 2) continue
        printf "%*s%6.0f  %s\n", 26 + 2 * depth, "", cost(lines[i]) / calls, fn(lines[i])
        if (depth < 2) show(fn(lines[i]), depth + 1)
      }
    }
    END {
      if (calls == 0) { printf "%-28s (no loop found)\n", name; exit }
      printf "%-28s %6.0f instructions a call of %s\n", name, total / calls, top
      show(top, 1)
    }'
done
