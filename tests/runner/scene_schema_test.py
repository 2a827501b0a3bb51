#!/usr/bin/env python3
"""examples/scene.schema.json against the examples and against the loader.

Every example must follow the schema; and on scenes that differ from a good
one by one structural change, the schema and `dravik check` must agree with
what the loader is known to do: both accept the scene or both refuse it.

Usage: scene_schema_test.py DRAVIK EXAMPLES_DIR (exit 77: skipped)
"""
import copy
import glob
import json
import os
import subprocess
import sys
import tempfile

try:
    import jsonschema
except ImportError:
    print("skipped: the Python module jsonschema is missing (Debian: python3-jsonschema)")
    sys.exit(77)

GOOD = {
    "name": "good", "frames": 2,
    "objects": [{"id": "o", "class": "Body", "floats": {"mass": 1}, "vectors": {"p": [0, 1, 0]}}],
    "procedures": [{"owner": "S", "name": "P", "static": False, "params": [{"name": "y", "mode": "out"}],
                    "outputs": {"y": "self.mass"}, "constants": {"k": 2}}],
    "channels": [
        {"id": "t", "type": "value", "value": 1, "animate": {"values": [1, 2], "cycle": True}},
        {"id": "v", "type": "vector", "value": [1, 2, 3], "watch": True},
        {"id": "r", "type": "object", "object": "o"},
        {"id": "y", "type": "value"},
        {"id": "c", "type": "call", "owner": "S", "procedure": "P", "links": {"This": "r", "y": "y"}},
        {"id": "s", "type": "call", "owner": "Math", "procedure": "Sin", "links": {"x": "t"}},
    ],
    "groups": [{"name": "G", "channels": ["t"]}],
    "events": [{"frame": 2, "set": {"channel": "t", "value": 3}},
               {"frame": 2, "link": {"channel": "s", "param": "x", "source": None}},
               {"frame": 2, "rename": {"owner": "Math", "procedure": "Sin", "new_name": "Sine"}}],
}

DELETE = object()

# (path of the field changed, its new value or DELETE), whether the loader accepts it
CASES = [
    ((["name"], "good"), True),
    ((["frames"], 0), True),
    ((["frames"], -1), False),
    ((["frames"], 1.5), False),
    ((["frames"], 10000001), False),
    ((["chanels"], []), False),
    ((["channels", 0, "type"], "float"), False),
    ((["channels", 0, "owner"], "Math"), False),
    ((["channels", 1, "value"], [1, 2]), False),
    ((["channels", 2, "object"], None), True),
    ((["channels", 4, "procedure"], DELETE), False),
    ((["channels", 4, "links"], {"y": 3}), False),
    ((["channels", 0, "animate"], {"values": []}), False),
    ((["channels", 0, "animate"], {"step": 0.5, "speed": 1}), False),
    ((["objects", 0, "class"], DELETE), False),
    ((["procedures", 0, "params", 0, "mode"], "both"), False),
    ((["procedures", 0, "params", 0, "name"], "This"), False),
    ((["procedures", 0, "outputs", "y"], ["1", "2"]), False),
    ((["events", 0, "frame"], 0), False),
    ((["events", 0], {"frame": 1}), False),
    ((["events", 1, "link", "param"], ""), False),
    ((["groups", 0, "channels"], DELETE), True),
    ((["name"], "x" * 256), False),
]


def changed(path, value):
    scene = copy.deepcopy(GOOD)
    node = scene
    for key in path[:-1]:
        node = node[key]
    if value is DELETE:
        del node[path[-1]]
    else:
        node[path[-1]] = value
    return scene


def loader_accepts(dravik, scene, folder):
    path = os.path.join(folder, "scene.json")
    with open(path, "w") as f:
        json.dump(scene, f)
    r = subprocess.run([dravik, "check", path], capture_output=True, text=True)
    if r.returncode not in (0, 1):
        raise AssertionError(f"dravik check exited {r.returncode}: {r.stderr}")
    return r.returncode == 0, r.stdout + r.stderr


def main():
    dravik, examples = sys.argv[1], sys.argv[2]
    with open(os.path.join(examples, "scene.schema.json")) as f:
        schema = json.load(f)
    jsonschema.Draft7Validator.check_schema(schema)
    validator = jsonschema.Draft7Validator(schema)
    failures = []
    for path in sorted(glob.glob(os.path.join(examples, "*.json"))):
        if path.endswith("scene.schema.json"):
            continue
        with open(path) as f:
            for error in validator.iter_errors(json.load(f)):
                failures.append(f"{path}: {list(error.absolute_path)}: {error.message}")
    with tempfile.TemporaryDirectory() as folder:
        for (where, value), accepted in CASES:
            scene = changed(where, value)
            valid = validator.is_valid(scene)
            loaded, said = loader_accepts(dravik, scene, folder)
            if valid != accepted or loaded != accepted:
                failures.append(f"{where} = {value!r}: schema {'accepts' if valid else 'refuses'}, "
                                f"loader {'accepts' if loaded else 'refuses'}, expected "
                                f"{'accept' if accepted else 'refuse'}: {said.strip()}")
    for line in failures:
        print(line)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
