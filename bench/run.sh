#!/usr/bin/env bash
# Runs the procedure-call channel benchmarks and prints every ratio, and
# each target next to its goal and moonshot.
#
#   bench/run.sh [BUILD_DIR]          default: build/dev (the dev preset)
#
# Environment:
#   MIN_TIME=0.5     seconds each timed case runs at least
#   REPETITIONS=3    runs of each case of the main binary; the median counts
#   SKIP_SCENE=1     leave out the 1,000,000-channel scene (it takes ~2 GB)
#   KEEP=DIR         keep the raw JSON results in DIR
#   SKIP_SCALE=1     leave out the scale benchmark (scale_bench.py: dravik on
#                    scenes of 10,000 to 1,000,000 channels, ~3 GB at the top)
#   SCALE_SIZES=...  its sizes, comma-separated (default 10000,100000,1000000)
#
# The scene cases run one per process, so that each peak resident size is
# its own. Targets are judged on CPU time (the process's own work); wall
# time is printed beside it, and on a shared machine it is larger by
# whatever else runs.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/dev}
bin=$build/bin
for exe in prccall_bench prccall_scene_bench dravik; do
  if [[ ! -x $bin/$exe ]]; then
    echo "missing $bin/$exe; build it first:" >&2
    echo "  cmake --preset dev && cmake --build --preset dev --target prccall_bench prccall_scene_bench dravik" >&2
    exit 1
  fi
done

out=${KEEP:-$(mktemp -d)}
mkdir -p "$out"
[[ -n ${KEEP:-} ]] || trap 'rm -rf "$out"' EXIT

run() {  # run NAME EXE [ARGS...]: console to the terminal, JSON to $out/NAME.json
  local name=$1 exe=$2
  shift 2
  "$bin/$exe" --benchmark_out="$out/$name.json" --benchmark_out_format=json "$@"
}

repeat=(--benchmark_min_time="${MIN_TIME:-0.5}" --benchmark_repetitions="${REPETITIONS:-3}"
  --benchmark_report_aggregates_only=true)
# Evaluations interleaved at random, so that a case and its baselines meet
# the same load; the registry cases in order, as each keeps its procedures
# registered for the runs after it.
run evaluation prccall_bench --benchmark_filter='^(Eval|NotDue)_' "${repeat[@]}" \
  --benchmark_enable_random_interleaving=true
run registry prccall_bench --benchmark_filter='^(Bind|Modes|Save|Load|Memory)_' "${repeat[@]}"
if [[ -z ${SKIP_SCENE:-} ]]; then
  run scene_prccall prccall_scene_bench --benchmark_filter='^Scene_PrcCall/'
  run scene_typed prccall_scene_bench --benchmark_filter='^Scene_NativeTyped/'
  run scene_native prccall_scene_bench --benchmark_filter='^Scene_Native/'
fi

echo
echo "Machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo

# The JSON holds one field a line; every value is read into v[case, field]
# and times are turned into nanoseconds. Of repeated cases the median
# stands for the case; the other aggregates are passed over.
cat "$out"/*.json | awk '
  function unquote(s) { gsub(/^[ \t]*"|",?[ \t]*$/, "", s); return s }
  function ns(t, unit) { return unit == "ms" ? t * 1e6 : unit == "us" ? t * 1e3 : unit == "s" ? t * 1e9 : t + 0 }
  /"name":/ {
    name = unquote(substr($0, index($0, ":") + 1))
    if (name ~ /_(mean|stddev|cv)$/) { name = ""; next }
    sub(/_median$/, "", name)
    names[name] = 1
    next
  }
  /^ *"[^"]+": / && name != "" {
    key = $0; sub(/^ *"/, "", key); sub(/".*/, "", key)
    val = substr($0, index($0, "\": ") + 3); sub(/,$/, "", val); gsub(/"/, "", val)
    v[name, key] = val
    if (key == "time_unit") {
      v[name, "cpu_ns"] = ns(v[name, "cpu_time"], val)
      v[name, "real_ns"] = ns(v[name, "real_time"], val)
    }
  }
  function has(c) { return (c in names) && v[c, "error_occurred"] != "true" }
  function cpu(c) { return v[c, "cpu_ns"] + 0 }
  function wall(c) { return v[c, "real_ns"] + 0 }
  function num(c, key) { return v[c, key] + 0 }
  function t(x) { return x >= 1e6 ? sprintf("%.1f ms", x / 1e6) : x >= 1e4 ? sprintf("%.1f us", x / 1e3) : sprintf("%.1f ns", x) }
  function ratio(a, b) { return cpu(a) / cpu(b) }
  function line(label, a, b) {
    if (!has(a) || !has(b)) { printf "%-46s %s\n", label, "(not run)"; return }
    printf "%-46s %10s / %-10s = %6.2fx  (wall %.2fx)\n", label, t(cpu(a)), t(cpu(b)), ratio(a, b), wall(a) / wall(b)
  }
  # goal(label, value, text, g, m, unit): a figure against its goal g and
  # moonshot m, both upper bounds in the unit of value.
  function goal(label, value, text, g, m, unit) {
    printf "  %-44s %-12s goal <= %-9s moonshot <= %-9s %s\n", label, text, g unit, m unit,
      value <= m ? "moonshot met" : value <= g ? "goal met" : "MISSED"
  }
  function target(label, ok, detail) { printf "  %-44s %-12s %s\n", label, detail, ok ? "met" : "MISSED" }
  END {
    print "Ratios (CPU time per operation; wall-time ratio in brackets)"
    line("1  Add: call / hand-written, exact type (a)", "Eval_Add_PrcCall", "Eval_Add_NativeTyped")
    line("1  Add: call / hand-written, dynamic_cast", "Eval_Add_PrcCall", "Eval_Add_Native")
    line("1  Add: call / hand-written unchecked", "Eval_Add_PrcCall", "Eval_Add_NativeUnchecked")
    line("1  Add: call / Execute on a ready list (b)", "Eval_Add_PrcCall", "Eval_Add_Execute")
    line("1  Add: exact type / dynamic_cast, by hand", "Eval_Add_NativeTyped", "Eval_Add_Native")
    line("2  Push: call / hand-written, exact type (a)", "Eval_Push_PrcCall", "Eval_Push_NativeTyped")
    line("2  Push: call / hand-written, dynamic_cast", "Eval_Push_PrcCall", "Eval_Push_Native")
    line("2  Push: call / Execute on a ready list (b)", "Eval_Push_PrcCall", "Eval_Push_Execute")
    line("3  not due: call / hand-written", "NotDue_PrcCall", "NotDue_Native")
    line("4  UpdatePrc: 100,000 / 10 procedures", "Bind_UpdatePrc/100000", "Bind_UpdatePrc/10")
    line("4  UpdatePrc: 10,000 / 10 procedures", "Bind_UpdatePrc/10000", "Bind_UpdatePrc/10")
    line("4  lookup alone: 100,000 / 10 procedures", "Bind_GetProcedure/100000", "Bind_GetProcedure/10")
    line("4  UpdatePrc / lookup alone, 100,000", "Bind_UpdatePrc/100000", "Bind_GetProcedure/100000")
    line("5  PrepareModesList / listing alone", "Modes_PrepareModesList", "Modes_GetProceduresList")
    line("6  save: calls / Value channels", "Save_PrcCall/iterations:5", "Save_Value/iterations:5")
    line("6  load: calls / Value channels", "Load_PrcCall/iterations:5", "Load_Value/iterations:5")
    line("7  frame: calls / hand-written, exact type", "Scene_PrcCall/iterations:5", "Scene_NativeTyped/iterations:5")
    line("7  frame: calls / hand-written, dynamic_cast", "Scene_PrcCall/iterations:5", "Scene_Native/iterations:5")
    print ""
    print "Targets (goal and moonshot are upper bounds)"
    a = "Eval_Add_PrcCall"; n = "Eval_Add_NativeTyped"; d = "Eval_Add_Native"
    if (has(a) && has(n)) goal("1  Add call / hand-written, exact type", ratio(a, n), sprintf("%.2fx", ratio(a, n)), 2.5, 2, "x")
    if (has(a) && has(d)) goal("1  Add call / hand-written, dynamic_cast", ratio(a, d), sprintf("%.2fx", ratio(a, d)), 1.0, 0.7, "x")
    p = "Eval_Push_PrcCall"; n = "Eval_Push_NativeTyped"
    if (has(p) && has(n)) goal("2  Push call / hand-written, exact type", ratio(p, n), sprintf("%.2fx", ratio(p, n)), 2.5, 2, "x")
    b = "Bind_UpdatePrc/100000"; s = "Bind_UpdatePrc/10"
    if (has(b)) goal("4  UpdatePrc at 100,000 procedures", cpu(b), sprintf("%.0f ns", cpu(b)), 250, 150, " ns")
    # O(log n): growing 10 -> 100,000 multiplies log n by 5; allow that.
    if (has(b) && has(s)) target("4  grows no worse than O(log n)", ratio(b, s) <= 5, sprintf("x%.2f (log n x5)", ratio(b, s)))
    md = "Modes_PrepareModesList"
    if (has(md)) goal("5  PrepareModesList, 10,000 procedures", cpu(md) / 1e6, sprintf("%.3f ms", cpu(md) / 1e6), 0.3, 0.1, " ms")
    sv = "Save_PrcCall/iterations:5"; ld = "Load_PrcCall/iterations:5"
    if (has(sv) && has(ld)) target("6  save + load of 100,000 under 1 s", cpu(sv) + cpu(ld) < 1e9, sprintf("%.0f + %.0f ms", cpu(sv) / 1e6, cpu(ld) / 1e6))
    m = "Memory_PrcCall/iterations:1"
    if (has(m)) goal("6  memory a channel, 3 parameters", num(m, "bytes/channel"), sprintf("%.0f bytes", num(m, "bytes/channel")), 1200, 1000, " B")
    if (has(m)) printf "  %-44s %.0f bytes (object %.0f); hand-written %.0f (object %.0f)\n", "", num(m, "bytes/channel"), num(m, "sizeof"), num("Memory_Native/iterations:1", "bytes/channel"), num("Memory_Native/iterations:1", "sizeof")
    f = "Scene_PrcCall/iterations:5"; fn = "Scene_NativeTyped/iterations:5"
    if (has(f) && has(fn)) goal("7  frame of 1,000,000 / hand-written", ratio(f, fn), sprintf("%.2fx", ratio(f, fn)), 1.5, 1.2, "x")
    if (has(f)) target("7  frame of 1,000,000 under 0.5 s", cpu(f) < 5e8, sprintf("%.0f ms (wall %.0f ms), peak RSS %.0f MB, channels %.0f MB", cpu(f) / 1e6, wall(f) / 1e6, num(f, "peak_RSS_MB"), num(f, "channel_MB")))
  }'

# dravik as a user runs it, per channel, each figure beside its goal.
if [[ -z ${SKIP_SCALE:-} ]]; then
  echo
  python3 "$root/bench/scale_bench.py" --build "$build" --sizes "${SCALE_SIZES:-10000,100000,1000000}"
fi
