"""Procedures written in Python, and the framework's registry of procedures.

A procedure is registered in the framework the way every procedure is: by
owner class and name, with a parameter list and a static flag. Scenes loaded
afterwards call it like a built-in one; their events can rename or remove
it; defining it again with other parameters makes the channels bound to it
rebuild their links.
"""

import math
from collections import namedtuple

from . import _dravik

#: Most parameters a procedure has.
MAX_PARAMS = 64
#: Longest owner class or procedure name.
MAX_NAME_LENGTH = 255
#: Longest parameter name (a parameter names a channel's link).
MAX_PARAM_NAME_LENGTH = 99

_FLOAT_MAX = 3.4028234663852886e38
_TYPES = {"float": "float", "vec3": "vec3", "vector": "vec3"}
_MODES = ("in", "out", "inout")

Param = namedtuple("Param", "name type mode")
Param.__doc__ = """One parameter: its name, "float" or "vec3", and "in", "out" or "inout"."""

ProcedureInfo = namedtuple("ProcedureInfo", "owner name static params")
ProcedureInfo.__doc__ = """A registered procedure: owner class, name, static flag and its Params."""


def _check_name(what, name, limit):
    if not isinstance(name, str):
        raise TypeError(f"{what} must be a str, not {type(name).__name__}")
    if not name or len(name) > limit or "\0" in name:
        raise ValueError(f"{what} {name[:60]!r} must have 1 to {limit} characters and no NUL")
    return name


def _check_params(params, static):
    checked = []
    for index, param in enumerate(params):
        if isinstance(param, str) or not 2 <= len(param) <= 3:
            raise ValueError(f"params[{index}] must be (name, type, mode), not {param!r}")
        name, kind, mode = (*param, "in") if len(param) == 2 else param
        _check_name(f"params[{index}] name", name, MAX_PARAM_NAME_LENGTH)
        if kind not in _TYPES:
            raise ValueError(f"params[{index}] type {kind!r} must be 'float' or 'vec3'")
        if mode not in _MODES:
            raise ValueError(f"params[{index}] mode {mode!r} must be 'in', 'out' or 'inout'")
        if name == "This" or (name == "this" and not static):
            raise ValueError(f"params[{index}] may not be named {name!r}: it names the target object")
        if any(p.name == name for p in checked):
            raise ValueError(f"params[{index}] name {name!r} is given twice")
        checked.append(Param(name, _TYPES[kind], mode))
    if len(checked) > MAX_PARAMS:
        raise ValueError(f"a procedure has at most {MAX_PARAMS} parameters, not {len(checked)}")
    return checked


def procedure(owner, name, params=(), *, static=True):
    """Registers the decorated function as the procedure ``owner::name``.

    ``params`` lists ``(name, type, mode)`` tuples: type ``"float"`` or
    ``"vec3"``, mode ``"in"``, ``"out"`` or ``"inout"``. Each call passes the
    inputs and in/out parameters as keyword arguments (a float, or a tuple
    of three floats for a vector) and, for a procedure that is not static,
    ``this``: the id of the target object (see :class:`Object`). The
    function returns a dict of exactly its outputs and in/out parameters.
    An exception, a missing or extra key or a value of the wrong type fails
    the call: the channel answers 1.0 and the run's messages say why.

    Defining a procedure again replaces its function, and its parameters
    when they differ. Raises ValueError for a bad parameter list or a name
    that a procedure not defined in Python holds. Returns the function
    unchanged.
    """
    _check_name("owner", owner, MAX_NAME_LENGTH)
    _check_name("name", name, MAX_NAME_LENGTH)
    checked = _check_params(params, static)

    def register(function):
        if not callable(function):
            raise TypeError(f"a procedure must be callable, not {type(function).__name__}")
        _dravik.define_procedure(owner, name, bool(static), checked, function)
        return function

    return register


def rename_procedure(owner, name, new_owner=None, new_name=None):
    """Renames the procedure ``owner::name`` (either part may stay).

    Channels bound to it follow the new name. Raises KeyError when there
    is no such procedure or the new names are taken. A procedure may rename
    itself while it runs.
    """
    new_owner = owner if new_owner is None else _check_name("new_owner", new_owner, MAX_NAME_LENGTH)
    new_name = name if new_name is None else _check_name("new_name", new_name, MAX_NAME_LENGTH)
    _dravik.rename_procedure(owner, name, new_owner, new_name)


def remove_procedure(owner, name):
    """Removes the procedure ``owner::name``; its calls answer 1.0 from then on.

    Raises KeyError when there is none.
    """
    _dravik.remove_procedure(owner, name)


def procedures(owner=None):
    """The procedures registered in the framework (of ``owner`` only, when given).

    A list of :class:`ProcedureInfo`, by owner class then registration
    order. The built-in procedures are registered once a scene has loaded.
    """
    return [
        ProcedureInfo(o, n, s, [Param(*p) for p in ps])
        for o, n, s, ps in _dravik.list_procedures(owner or "")
    ]


class Object:
    """A framework object: the target of a procedure that is not static.

    ``Object(this)`` inside such a procedure reads and writes the object's
    properties: ``obj["bounce"]`` is a float or a tuple of three floats,
    ``obj["velocity"] = (1, 0, 0)`` sets one. Raises KeyError when no object
    has that id, or it has no such property.
    """

    def __init__(self, object_id):
        self.id = int(object_id)
        _dravik.object_info(self.id)

    @property
    def class_name(self):
        """The object's class name."""
        return _dravik.object_info(self.id)[0]

    @property
    def name(self):
        """The object's name."""
        return _dravik.object_info(self.id)[1]

    @property
    def properties(self):
        """Every property, as a dict of floats and tuples of three floats."""
        return _dravik.object_info(self.id)[2]

    def __getitem__(self, key):
        return self.properties[key]

    def __setitem__(self, key, value):
        parts = [value] if isinstance(value, (int, float)) else list(value)
        if len(parts) not in (1, 3) or not all(math.isfinite(p) and abs(p) <= _FLOAT_MAX for p in parts):
            raise ValueError(f"a property is a finite float or three of them, not {value!r}")
        if len(parts) == 1:
            _dravik.set_object_float(self.id, key, float(value))
        else:
            _dravik.set_object_vector(self.id, key, *map(float, parts))

    def __repr__(self):
        return f"<dravik.Object {self.id} {self.class_name}:{self.name}>"
