"""dravik: load, run and save scenes of procedure-call channels from Python.

    import dravik

    scene = dravik.load("examples/tour.json")   # a JSON scene, a saved file or a dict
    run = scene.run(frames=20)                   # the next 20 frames
    run.values("sum")                            # numpy array, (n,) or (n, 3)
    run.statuses("add")                          # 0.0, 1.0 or 3.0 per frame
    scene.save("tour.zyr")                       # go on later with dravik.load

    @dravik.procedure("Py", "Scale", params=[("x", "float", "in"), ("k", "float", "in"),
                                             ("y", "float", "out")])
    def scale(x, k):
        return {"y": k * x}

The module is built on the dravik runner's library: a scene runs here
exactly as ``dravik run`` runs it, with the same channel module.
"""

import atexit as _atexit

from . import _dravik
from ._errors import SceneError, SceneWarning
from ._procedures import (Object, Param, ProcedureInfo, procedure, procedures, remove_procedure,
                          rename_procedure)
from ._scene import Channel, Finding, Message, Run, Scene, load

#: The version of the runner the module is built on.
__version__ = _dravik.version

__all__ = [
    "Channel", "Finding", "Message", "Object", "Param", "ProcedureInfo", "Run", "Scene", "SceneError",
    "SceneWarning", "load", "procedure", "procedures", "remove_procedure", "rename_procedure",
]

# Python's objects leave before the framework's procedures do: let go of
# them first.
_atexit.register(_dravik.shutdown)
