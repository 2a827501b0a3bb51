"""Scenes and runs: load a scene, run it, look at what it did, save it."""

import errno
import json
import os
import warnings
from collections import namedtuple
from collections.abc import Mapping
from pathlib import Path

import numpy as np

from . import _dravik
from ._display import run_html
from ._errors import SceneError, SceneWarning

#: Largest scene or saved file `load` reads, as `dravik run` does.
MAX_INPUT_BYTES = 1 << 30
#: Most frames one run evaluates.
MAX_FRAMES = 10_000_000

Message = namedtuple("Message", "frame level channel text")
Message.__doc__ = """A diagnostic message shown during a run.

``frame`` is the frame under way (0 while the scene was loaded), ``level``
0 alert, 1 error, 2 info or 3 debug, ``channel`` the scene id of the
channel whose work showed it (None outside any channel's work), ``text``
the message.
"""

Finding = namedtuple("Finding", "severity path message")
Finding.__doc__ = """What `Scene.check` found: "error" or "warning", the JSON path ("" for none) and what."""

Channel = namedtuple("Channel", "id kind name")
Channel.__doc__ = """A channel of a scene: its scene id, kind ("value", "vector", "object", "call") and engine name."""


def _modules_dir():
    """The channel modules beside the package (installed) or in the build tree."""
    here = Path(__file__).resolve().parent
    for candidate in (here / "bin" / "modules", here.parent.parent / "bin" / "modules"):
        if candidate.is_dir():
            return str(candidate)
    return str(here / "bin" / "modules")


def load(source, *, modules=None):
    """Loads a scene: a JSON scene file, a file saved by `Scene.save`, or a dict of the JSON.

    A saved file goes on from the frame it was saved at. ``modules`` is the
    folder of channel modules (default: the ones installed with the
    package). Raises SceneError for a scene that cannot be loaded (naming
    the JSON path at fault), OSError for a file that cannot be read, and
    warns (SceneWarning) of what will not work as written.
    """
    path = None
    if isinstance(source, Mapping):
        try:
            data = json.dumps(source, allow_nan=False).encode()
        except (TypeError, ValueError) as e:
            raise SceneError(f"the scene is not JSON: {e}") from e
    elif isinstance(source, (str, os.PathLike)):
        path = os.fspath(source)
        size = os.stat(path).st_size
        if size > MAX_INPUT_BYTES:
            raise OSError(errno.EFBIG, f"{size} bytes is more than the {MAX_INPUT_BYTES} a scene may have", path)
        with open(path, "rb") as f:
            data = f.read()
    else:
        raise TypeError(f"load takes a file name or a dict, not {type(source).__name__}")
    modules_dir = os.fspath(modules) if modules is not None else _modules_dir()
    state = _dravik.open_scene(data, path or "", path or "", modules_dir)
    for warning in state.warnings:
        warnings.warn(warning, SceneWarning, stacklevel=2)
    return Scene(state, path)


def _check_frames(frames):
    if frames is None:
        return None
    if isinstance(frames, bool) or not isinstance(frames, (int, np.integer)):
        raise TypeError(f"frames must be an int, not {type(frames).__name__}")
    if not 0 <= frames <= MAX_FRAMES:
        raise ValueError(f"frames must be 0 to {MAX_FRAMES}, not {frames}")
    return int(frames)


class Scene:
    """A scene loaded by :func:`load`, ready to run frame after frame.

    Each `run` goes on from the frame the last one reached. Procedures and
    objects live in the process's one framework, which every scene shares.
    """

    def __init__(self, state, source):
        self._state = state
        self.source = source

    @property
    def name(self):
        """The scene's name ("" when it has none)."""
        return self._state.name

    @property
    def description(self):
        """The scene's description."""
        return self._state.description

    @property
    def frame(self):
        """The last frame run (0 for a scene that has not run)."""
        return self._state.last_frame

    @property
    def frames(self):
        """The frames the scene plans to run (its "frames")."""
        return self._state.planned_frames

    @property
    def channels(self):
        """The scene's channels, in scene order, as :class:`Channel` tuples."""
        return [Channel(*c) for c in self._state.channels]

    @property
    def json(self):
        """The scene's JSON text (of a saved file: the scene it carries)."""
        return self._state.text.decode("utf-8", "replace")

    def run(self, frames=None, *, watch=None):
        """Runs the next ``frames`` frames and returns their :class:`Run`.

        By default the frames the scene has left of its "frames". ``watch``
        names the channels to record (default: those the scene watches);
        every call's status is recorded. Ctrl-C stops the run after the
        frame under way. Raises KeyError for a watched id no channel has.
        """
        if isinstance(watch, str):
            watch = [watch]
        data = self._state.run(_check_frames(frames), None if watch is None else list(watch))
        return Run(data)

    def save(self, path, *, force=False):
        """Saves the scene to ``path``, to go on later with :func:`load`.

        As ``dravik run --save``: the file is written whole or not at all,
        and an existing file that is not a saved scene (or the scene's own
        file) is refused unless ``force`` is true (a JSON scene never is
        replaced). Raises FileExistsError, IsADirectoryError,
        FileNotFoundError (no such folder) or another OSError.
        """
        path = os.fspath(path)
        refusal = self._state.save_refusal(path, bool(force))
        if refusal:
            message = refusal.replace("--save ", "", 1).replace("give --force", "pass force=True")
            if os.path.isdir(path):
                error = IsADirectoryError(errno.EISDIR, message)
            elif os.path.lexists(path):
                error = FileExistsError(errno.EEXIST, message)
            elif not os.path.isdir(os.path.dirname(path) or "."):
                error = FileNotFoundError(errno.ENOENT, message)
            else:
                error = PermissionError(errno.EACCES, message)
            raise error
        self._state.save(path, bool(force))

    def check(self):
        """What ``dravik check`` finds, without running: a list of :class:`Finding`.

        Errors are what a load refuses; warnings what will not work as
        written (loops of calls, input links left unplugged, ...). A saved
        scene is checked as the JSON scene it carries.
        """
        return [Finding(*f) for f in self._state.check()]

    def graph(self, format="dot"):
        """The scene as ``dravik graph`` draws it: DOT text, or SVG (``format="svg"``).

        Calls are coloured by their last status once the scene has run (or
        was loaded from a saved file).
        """
        if format not in ("dot", "svg"):
            raise ValueError(f"format must be 'dot' or 'svg', not {format!r}")
        return self._state.graph(format == "svg")

    def _repr_svg_(self):
        try:
            return self.graph("svg")
        except RuntimeError:
            return None

    def __repr__(self):
        where = f" from {self.source!r}" if self.source else ""
        return f"<dravik.Scene {self.name!r}{where}: {len(self._state.channels)} channels, frame {self.frame}>"


class Run:
    """What one `Scene.run` did: the watched values and every call's status per frame, and the messages."""

    def __init__(self, data):
        self._data = data

    @property
    def frames(self):
        """The frame numbers run, as a numpy int64 array."""
        return np.arange(self._data.first, self._data.first + self._data.count, dtype=np.int64)

    @property
    def channels(self):
        """The ids of the watched channels, in scene order."""
        return [w[0] for w in self._data.watched]

    @property
    def calls(self):
        """The ids of the procedure-call channels, in scene order."""
        return self._data.calls

    def values(self, channel):
        """A watched channel's values per frame: float32, shape (n,), or (n, 3) for a vector.

        A call channel's value is its status. Raises KeyError for a channel
        that was not watched.
        """
        return self._data.values(channel)

    def statuses(self, channel):
        """A call channel's status per frame: 0.0 executed, 1.0 no procedure or it failed, 3.0 inputs not taken."""
        return self._data.statuses(channel)

    @property
    def messages(self):
        """The messages shown, in order, as :class:`Message` tuples (at most 100,000)."""
        return [Message(f, lvl, c or None, t) for f, lvl, c, t in self._data.messages]

    @property
    def notes(self):
        """What happened between the frames (events, links plugged): (frame, text) pairs."""
        return self._data.notes

    def report(self, path):
        """Writes the HTML report of the run to ``path``, as ``dravik run --report`` does.

        The graph shows each call's status as the scene stands now. Raises
        FileExistsError for the scene's own file or one that is not a report,
        OSError when the file cannot be written.
        """
        self._data.report(os.fspath(path))

    def _repr_html_(self):
        return run_html(self)

    def __repr__(self):
        frames = self.frames
        span = f"frames {frames[0]}-{frames[-1]}" if len(frames) else "no frames"
        return f"<dravik.Run {span}: {len(self.channels)} watched, {len(self._data.messages)} messages>"
