"""Procedures written in Python: calls, failures, renames, new signatures, the command line."""

import json

import numpy as np
import pytest

import dravik
from conftest import call_scene, run_module

SCALE = [("x", "float", "in"), ("k", "float", "in"), ("y", "float", "out")]
SCALE_LINKS = {"x": "x", "k": "k", "y": "y"}


def test_a_python_procedure_is_called_like_any_other():
    @dravik.procedure("Py", "Scale", SCALE)
    def scale(x, k):
        return {"y": k * x}

    @dravik.procedure("Py", "Swirl", [("v", "vec3", "inout"), ("n", "float", "out")])
    def swirl(v):
        return {"v": np.array([v[1], -v[0], v[2] + 1]), "n": float(np.hypot(v[0], v[1]))}

    scene = call_scene("Py", "Scale", SCALE_LINKS, values={"x": 2, "k": 3, "y": 0, "v": [1, 0, 0], "n": 0},
                       calls=[{"id": "c", "type": "call", "owner": "Py", "procedure": "Scale", "links": SCALE_LINKS},
                              {"id": "w", "type": "call", "owner": "Py", "procedure": "Swirl",
                               "links": {"v": "v", "n": "n"}}])
    run = dravik.load(scene).run(4)
    assert list(run.values("y")) == [6.0] * 4
    assert run.values("v").tolist() == [[0, -1, 1], [-1, 0, 2], [0, 1, 3], [1, 0, 4]]
    assert set(run.statuses("c")) == set(run.statuses("w")) == {0.0}
    assert [m for m in run.messages if m.level <= 1] == []
    assert scale(2, 5) == {"y": 10}  # the function stays a function
    assert dravik.ProcedureInfo("Py", "Scale", True, [dravik.Param(*p) for p in SCALE]) in dravik.procedures("Py")


def test_a_failed_call_answers_1_with_the_runners_message():
    other = dravik.load({"frames": 1})
    cases = {
        "Raises": (lambda x, k: {"y": x / (k - 3)}, "ZeroDivisionError: float division by zero"),
        "Missing": (lambda x, k: {}, "output 'y' is missing from the dict it returned"),
        "Extra": (lambda x, k: {"y": 1.0, "z": 2.0}, "returned 'z', which is not an output"),
        "Text": (lambda x, k: {"y": "one"}, "output 'y' is str, not a number"),
        "NotDict": (lambda x, k: 7, "returned int, not a dict of its outputs"),
        "Huge": (lambda x, k: {"y": 1e39}, "not a finite float"),
        "Nested": (lambda x, k: other.run(1), "RuntimeError: cannot run a scene while another"),
    }
    for name, (function, _) in cases.items():
        dravik.procedure("Fail", name, SCALE)(function)
    for name, (_, text) in cases.items():
        run = dravik.load(call_scene("Fail", name, SCALE_LINKS, values={"x": 2, "k": 3, "y": 5})).run(2)
        assert list(run.statuses("c")) == [1.0, 1.0], name
        assert list(run.values("y")) == [5.0, 5.0], name  # nothing written
        mine = [m for m in run.messages if m.frame == 1 and m.text.startswith(f"Fail::{name}: ")]
        assert [m.level for m in mine] == [1] and text in mine[0].text, (name, run.messages)
        assert mine[0].channel == "c" and len([m for m in run.messages if m.frame == 1 and m.channel == "c"]) >= 2


def test_a_procedure_that_renames_itself_is_followed():
    @dravik.procedure("Self", "Before", SCALE)
    def rename_me(x, k):
        if dravik.procedures("Self")[0].name == "Before":
            dravik.rename_procedure("Self", "Before", new_name="After")
        return {"y": x + k}

    run = dravik.load(call_scene("Self", "Before", SCALE_LINKS, values={"x": 1, "k": 2, "y": 0})).run(3)
    assert list(run.statuses("c")) == [0.0] * 3 and list(run.values("y")) == [3.0] * 3
    assert [p.name for p in dravik.procedures("Self")] == ["After"]
    assert dravik.load(call_scene("Self", "After", SCALE_LINKS, values={"x": 1, "k": 2, "y": 0})).channels[-1].name \
        == "Self :: After"


def test_events_rename_and_remove_python_procedures_and_new_signatures_rebuild_links():
    dravik.procedure("Ev", "Lin", SCALE)(lambda x, k: {"y": x * k})
    events = [{"frame": 3, "rename": {"owner": "Ev", "procedure": "Lin", "new_name": "Lin2"}},
              {"frame": 5, "remove": {"owner": "Ev", "procedure": "Lin2"}}]
    run = dravik.load(call_scene("Ev", "Lin", SCALE_LINKS, values={"x": 2, "k": 2, "y": 0}, frames=6,
                                 events=events)).run()
    assert list(run.statuses("c")) == [0, 0, 0, 0, 1, 1]
    scene = dravik.load(call_scene("Ev", "Lin", SCALE_LINKS, values={"x": 2, "k": 2, "y": 0}))
    assert list(scene.run(1).statuses("c")) == [0.0]
    dravik.procedure("Ev", "Lin", SCALE + [("b", "float", "in")])(lambda x, k, b: {"y": x * k + b})
    # The new "b" link holds nothing: inputs not taken, until it does.
    assert list(scene.run(1).statuses("c")) == [3.0]


@pytest.mark.parametrize("owner, name, params, static, error", [
    ("", "N", [], True, ValueError),
    ("O", "N" * 256, [], True, ValueError),
    ("O", "N", [("x", "int", "in")], True, ValueError),
    ("O", "N", [("x", "float", "both")], True, ValueError),
    ("O", "N", [("x", "float"), ("x", "float")], True, ValueError),
    ("O", "N", [("This", "float", "in")], True, ValueError),
    ("O", "N", [("this", "float", "in")], False, ValueError),
    ("O", "N", [(f"p{i}", "float", "in") for i in range(65)], True, ValueError),
    ("O", 5, [], True, TypeError),
])
def test_bad_definitions_are_refused(owner, name, params, static, error):
    with pytest.raises(error):
        dravik.procedure(owner, name, params, static=static)(lambda **kw: {})


def test_names_of_other_procedures_are_not_taken_over():
    dravik.load({"frames": 1})  # registers the built-in procedures
    with pytest.raises(ValueError, match="not from Python"):
        dravik.procedure("Math", "Add", SCALE)(lambda x, k: {"y": 0})
    with pytest.raises(KeyError):
        dravik.remove_procedure("No", "Such")
    with pytest.raises(KeyError):
        dravik.rename_procedure("Math", "Add", new_name="Sub")  # taken


def test_run_from_the_shell_with_procedures(tmp_path):
    procedures = tmp_path / "procs.py"
    procedures.write_text("import dravik\n"
                          "@dravik.procedure('Sh', 'Half', [('x', 'float', 'in'), ('y', 'float', 'out')])\n"
                          "def half(x):\n"
                          "    return {'y': x / 2 if x < 3 else None}\n")
    scene = tmp_path / "s.json"
    scene.write_text(json.dumps({"frames": 3, "channels": [
        {"id": "x", "type": "value", "value": 1, "animate": {"step": 1}}, {"id": "y", "type": "value"},
        {"id": "c", "type": "call", "owner": "Sh", "procedure": "Half", "links": {"x": "x", "y": "y"}}]}))
    out = run_module("run", scene, "--procedures", procedures, "-f", "jsonl", "--strict")
    assert out.returncode == 4, out.stderr
    values = [json.loads(line) for line in out.stdout.splitlines() if '"channel":"y"' in line and '"value"' in line]
    assert [v["value"] for v in values] == [0.5, 1, 1]
    assert "Sh::Half: output 'y' is NoneType, not a number" in out.stdout
    broken = tmp_path / "broken.py"
    broken.write_text("import dravik\nraise RuntimeError('no')\n")
    out = run_module("run", scene, "--procedures", broken)
    assert (out.returncode, out.stdout) == (1, "") and out.stderr == f"dravik: {broken} (line 2): RuntimeError: no\n"
    assert run_module("run", scene, "--frames", "x").returncode == 2
