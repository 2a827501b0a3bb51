"""Scenes from Python: runs as `dravik run` runs them, numpy shapes, save and continue, errors."""

import json
import os
import subprocess
import sys

import numpy as np
import pytest

import dravik
from conftest import EXAMPLES, call_scene, run_module


def test_tour_runs_as_the_program_runs_it():
    # The module's run and `python3 -m dravik run` (the runner's own run
    # command) show the same values and messages, frame by frame.
    run = dravik.load(EXAMPLES / "tour.json").run(frames=20)
    out = run_module("run", EXAMPLES / "tour.json", "-f", "jsonl")
    assert out.returncode == 0, out.stderr
    lines = [json.loads(line) for line in out.stdout.splitlines()]
    values = [x for x in lines if x["type"] == "value"]
    assert len(values) == 20 * len(run.channels)
    for v in values:
        got = run.values(v["channel"])[v["frame"] - 1]
        assert np.array_equal(got, np.float32(v["value"])), v
    assert run.messages == [dravik.Message(m["frame"], m["level"], m["channel"], m["text"])
                            for m in lines if m["type"] == "message"]
    assert [n[1] for n in run.notes] == [x["text"] for x in lines if x["type"] == "event"]
    assert list(run.frames) == list(range(1, 21))
    assert run.values("arm").shape == (20, 3) and run.values("sum").shape == (20,)
    assert run.values("sum").dtype == np.float32
    assert set(run.statuses("lost")) == {1.0} and set(run.statuses("ghost")) == {3.0}


def test_runs_go_on_and_watch_chooses_channels():
    scene = dravik.load(EXAMPLES / "tour.json")
    first = scene.run(frames=4, watch=["t", "arm"])
    rest = scene.run()  # what the scene has left of its 20 frames
    assert first.channels == ["t", "arm"] and list(rest.frames) == list(range(5, 21))
    assert scene.frame == 20 and len(scene.run().frames) == 0
    with pytest.raises(KeyError):
        first.values("sum")
    with pytest.raises(KeyError):
        scene.run(1, watch=["nope"])
    assert "sum" in scene.run(1).channels  # the scene's own watch again
    # Past the hundred channels a report plots, every watched one is kept.
    ids = [f"v{i}" for i in range(150)]
    many = dravik.load({"frames": 2, "channels": [{"id": v, "type": "value", "value": i} for i, v in enumerate(ids)]})
    assert list(many.run(watch=ids).values("v149")) == [149.0, 149.0]


def test_save_and_continue_with_python_procedures(tmp_path):
    @dravik.procedure("SaveTest", "Push", [("step", "float", "in"), ("at", "vec3", "inout"), ("mass", "float", "out")],
                      static=False)
    def push(this, step, at):
        body = dravik.Object(this)
        body["pushed"] = body.properties.get("pushed", 0.0) + step
        return {"at": (at[0] + step, at[1], at[2] - step), "mass": body["mass"] + body["pushed"]}

    scene_dict = call_scene("SaveTest", "Push", {"This": "ref", "step": "s", "at": "p", "mass": "m"},
                            values={"s": 0.5, "p": [0, 1, 2], "m": 0}, frames=10,
                            objects=[{"id": "o", "class": "Body", "floats": {"mass": 2}}])
    scene_dict["channels"].insert(0, {"id": "ref", "type": "object", "object": "o"})
    straight = dravik.load(scene_dict).run()
    scene = dravik.load(scene_dict)
    scene.run(4)
    scene.save(tmp_path / "half.zyr")
    scene.run(1)  # moves its object on: the loaded scene must not use it
    # The first scene still holds its object's id: the loaded one gets another.
    later = dravik.load(tmp_path / "half.zyr")
    assert later.frame == 4
    rest = later.run()
    assert list(rest.frames) == list(range(5, 11))
    for channel in ("p", "m", "c"):
        assert np.array_equal(rest.values(channel), straight.values(channel)[4:]), channel
    assert rest.values("p").shape == (6, 3) and set(rest.statuses("c")) == {0.0}


def test_scenes_made_after_loading_a_saved_one_make_their_calls(tmp_path):
    # The tour saved after its events prepared the modes and renamed one of
    # their procedures: a fresh process that loads it first must still make
    # call channels for the scenes it loads next, while the first lives.
    tour = dravik.load(EXAMPLES / "tour.json")
    tour.run(8)
    tour.save(tmp_path / "tour.zyr")
    script = ("import sys, dravik\n"
              "saved = dravik.load(sys.argv[1]); saved.run()\n"
              "print(dravik.load(sys.argv[2]).run().values('sum')[-1])\n")
    out = subprocess.run([sys.executable, "-c", script, tmp_path / "tour.zyr", EXAMPLES / "tour.json"],
                         capture_output=True, text=True, timeout=300, check=False)
    assert out.returncode == 0, out.stderr
    assert float(out.stdout) == pytest.approx(float(tour.run().values("sum")[-1]))


@pytest.mark.parametrize("scene, error, path", [
    ({"channels": [{"id": "a", "type": "value"}, {"id": "c", "type": "call", "owner": "Math",
                                                  "procedure": "Add", "links": {"z": "a"}}]},
     "has no parameter 'z'", "/channels/1/links/z"),
    ({"frames": -1}, "/frames", "/frames"),
    ({"frames": 2, "events": [{"frame": 1, "remove": {"owner": "No", "procedure": "Such"}}]},
     "not registered", "/events/0/remove"),
    ({"x": float("nan")}, "not JSON", None),
])
def test_scene_errors_name_the_json_path(scene, error, path):
    with pytest.raises(dravik.SceneError, match=error) as caught:
        dravik.load(scene)
    assert caught.value.path == path and caught.value.file is None


def test_file_errors_are_os_errors_and_nothing_is_overwritten(tmp_path):
    with pytest.raises(FileNotFoundError):
        dravik.load(tmp_path / "missing.json")
    with pytest.raises(IsADirectoryError):
        dravik.load(tmp_path)
    scene_file = tmp_path / "s.json"
    scene_file.write_text(json.dumps(call_scene("Math", "Add", {"a": "x", "b": "x", "result": "y"},
                                                values={"x": 1, "y": 0})))
    scene = dravik.load(scene_file)
    scene.run()
    notes = tmp_path / "notes.txt"
    notes.write_text("mine")
    for target, force, kind in [(scene_file, True, FileExistsError), (notes, False, FileExistsError),
                                (tmp_path, False, IsADirectoryError),
                                (tmp_path / "no" / "x.zyr", False, FileNotFoundError)]:
        with pytest.raises(kind):
            scene.save(target, force=force)
    assert notes.read_text() == "mine" and json.loads(scene_file.read_text())["frames"] == 3
    scene.save(tmp_path / "a.zyr")
    scene.save(tmp_path / "a.zyr")  # a saved scene may be replaced
    scene.save(notes, force=True)
    damaged = bytearray((tmp_path / "a.zyr").read_bytes())
    damaged[len(damaged) // 2] ^= 0x40
    (tmp_path / "b.zyr").write_bytes(bytes(damaged))
    with pytest.raises(dravik.SceneError, match="checksum") as caught:
        dravik.load(tmp_path / "b.zyr")
    assert caught.value.file == os.fspath(tmp_path / "b.zyr")
    with pytest.raises(FileExistsError):
        scene.run(0).report(scene_file)
    with pytest.raises((ValueError, TypeError)):
        scene.run(frames=-1)


def test_check_graph_report_and_jupyter(tmp_path):
    scene = dravik.load(call_scene("Math", "Sin", {"result": "y"}, values={"y": 0}))
    findings = scene.check()
    assert dravik.Finding("warning", "/channels/1/links",
                          "link 'x' is left unplugged, and Math::Sin reads it: the call answers 3.0 "
                          "(inputs not taken)") in findings
    assert "digraph" in scene.graph() and "<svg" in scene._repr_svg_()
    run = scene.run(2)
    run.report(tmp_path / "r.html")
    assert "<html" in (tmp_path / "r.html").read_text()
    assert "inputs not taken 2" in run._repr_html_()
    with pytest.raises(ValueError):
        scene.graph("png")


def test_interrupted_run_stops_after_the_frame():
    frames_seen = []

    @dravik.procedure("Stop", "At3", [("x", "float", "in")])
    def at3(x):
        frames_seen.append(x)
        if len(frames_seen) == 3:
            raise KeyboardInterrupt
        return {}

    scene = dravik.load(call_scene("Stop", "At3", {"x": "x"}, values={"x": 1}, frames=10))
    with pytest.raises(KeyboardInterrupt):
        scene.run()
    assert scene.frame == 3
    assert list(scene.run(2).statuses("c")) == [0.0, 0.0]
