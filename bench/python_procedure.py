"""What a call of a procedure written in Python costs, against the same procedure as an expression.

Runs, in one process, scenes of N procedure-call channels that all compute
y = k * x: as a Python procedure (Py::Scale), as a procedure written in the
scene by an expression (Expr::Scale), as the built-in Math::Mul (the
module's own cost with a C++ body), and a scene of the same inputs with no
call at all (what the runner costs around the calls). Each scene runs F
frames, the cases interleaved, REPEAT times; the medians of CPU time count.
A fifth scene calls Py::Const, a Python function that ignores its
arguments and returns one dict made once: the difference to Py::Scale is
the function's own work, the rest is the bridge (the call from C++, the
keyword arguments in, the dict's outputs checked and written back). Prints
the cost per call and where it goes.

    PYTHONPATH=build/dev/python python3 bench/python_procedure.py [N] [F] [REPEAT]

Not a test: timings go in bench/README.md.
"""

import statistics
import sys
import time

import dravik

N = int(sys.argv[1]) if len(sys.argv) > 1 else 2000
FRAMES = int(sys.argv[2]) if len(sys.argv) > 2 else 50
REPEAT = int(sys.argv[3]) if len(sys.argv) > 3 else 7

PARAMS = [("x", "float", "in"), ("k", "float", "in"), ("y", "float", "out")]


@dravik.procedure("Py", "Scale", PARAMS)
def scale(x, k):
    return {"y": k * x}


CONST = {"y": 1.5}


@dravik.procedure("Py", "Const", PARAMS)
def const(**_):
    return CONST


def scene(owner, name):
    channels = [{"id": "x", "type": "value", "value": 0.5, "animate": {"step": 0.25}},
                {"id": "k", "type": "value", "value": 3}]
    for i in range(N):
        channels.append({"id": f"y{i}", "type": "value", "watch": False})
        # Math::Mul names its parameters a, b and result.
        links = {"a": "x", "b": "k", "result": f"y{i}"} if owner == "Math" else {"x": "x", "k": "k", "y": f"y{i}"}
        if owner:
            channels.append({"id": f"c{i}", "type": "call", "owner": owner, "procedure": name, "links": links})
    procedures = [{"owner": "Expr", "name": "Scale", "params": [{"name": p, "mode": m} for p, _, m in PARAMS],
                   "outputs": {"y": "k * x"}}]
    return {"frames": FRAMES, "procedures": procedures, "channels": channels}


def cpu_seconds(definition):
    loaded = dravik.load(definition)
    start = time.process_time()
    run = loaded.run(watch=[])
    elapsed = time.process_time() - start
    assert all(set(run.statuses(c)) <= {0.0} for c in run.calls[:3]), "a call failed"
    return elapsed


def main():
    cases = {"none": scene(None, None), "builtin": scene("Math", "Mul"), "expression": scene("Expr", "Scale"),
             "python": scene("Py", "Scale"), "python, constant": scene("Py", "Const")}
    times = {name: [] for name in cases}
    for _ in range(REPEAT):
        for name, definition in cases.items():
            times[name].append(cpu_seconds(definition))
    calls = N * FRAMES
    median = {name: statistics.median(t) for name, t in times.items()}
    per_call = {name: (median[name] - median["none"]) / calls * 1e9 for name in cases if name != "none"}
    print(f"{N} calls x {FRAMES} frames, medians of {REPEAT} runs (CPU time), per call, the runner's "
          f"work around the calls ({median['none'] / calls * 1e9:.0f} ns) taken off:")
    for name, ns in per_call.items():
        print(f"  {name:<17} {ns:6.0f} ns")
    extra = per_call["python"] - per_call["builtin"]
    body = per_call["python"] - per_call["python, constant"]
    print(f"python on top of the module's own (python - builtin): {extra:.0f} ns (goal: under 2000 ns); "
          f"{per_call['python'] / per_call['expression']:.2f}x the expression")
    print(f"  the function's own work (python - constant): {body:.0f} ns; "
          f"the bridge (constant - builtin): {extra - body:.0f} ns")


if __name__ == "__main__":
    main()
