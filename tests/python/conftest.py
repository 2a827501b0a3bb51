"""Shared helpers of the dravik package's tests: scenes as dicts, the module's command line."""

import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"


def call_scene(owner, name, links, values=None, frames=3, objects=(), events=(), calls=None):
    """A scene of value channels (``values``: id -> number or [x, y, z]) and one call ``c`` of owner::name."""
    channels = [
        {"id": cid, "type": "vector" if isinstance(v, list) else "value", "value": v}
        for cid, v in (values or {}).items()
    ]
    channels += calls or [{"id": "c", "type": "call", "owner": owner, "procedure": name, "links": links}]
    return {"frames": frames, "objects": list(objects), "channels": channels, "events": list(events)}


def run_module(*args):
    """``python3 -m dravik ARGS``: its exit code, stdout and stderr."""
    return subprocess.run([sys.executable, "-m", "dravik", *map(str, args)], capture_output=True, text=True,
                          stdin=subprocess.DEVNULL, timeout=300, check=False)
