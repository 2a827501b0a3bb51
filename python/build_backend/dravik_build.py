"""The build backend of the dravik package (PEP 517): the project's CMake builds it.

``pip install .`` calls :func:`build_wheel`, which configures the project
with the Python module on and the tests off, builds the module (and with it
the runner, the host libraries and the channel module), installs the
``python`` component into a staging folder and zips that folder into a
wheel: ``dravik/`` with ``_dravik*.so``, ``lib/`` (the host libraries) and
``bin/modules/`` (the channel module). Nothing is fetched: the backend needs
only the standard library, and the build only what scripts/install-deps.sh
installs.

Config settings (``pip install . --config-settings build-dir=DIR``):
``build-dir``, the CMake build folder (default: build/wheel in the source
tree, or a temporary folder when the tree cannot be written).
"""

import base64
import hashlib
import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tempfile
import zipfile
from pathlib import Path

import tomllib

ROOT = Path(__file__).resolve().parents[2]


def _project():
    """The [project] table, with the version of the CMake project."""
    with open(ROOT / "pyproject.toml", "rb") as f:
        project = dict(tomllib.load(f)["project"])
    match = re.search(r"project\(\s*VanticPrcCall\s+VERSION\s+([0-9.]+)", (ROOT / "CMakeLists.txt").read_text())
    if match is None:
        raise RuntimeError("no version in the project's CMakeLists.txt")
    project["version"] = match.group(1)
    return project


def _dist_info_name(project):
    return f"{project['name']}-{project['version']}.dist-info"


def _metadata(project):
    lines = ["Metadata-Version: 2.1", f"Name: {project['name']}", f"Version: {project['version']}",
             f"Summary: {project.get('description', '')}"]
    if "requires-python" in project:
        lines.append(f"Requires-Python: {project['requires-python']}")
    lines += [f"Requires-Dist: {d}" for d in project.get("dependencies", [])]
    return "\n".join(lines) + "\n"


def _tag():
    """The wheel's tag for the interpreter that builds it, e.g. cp311-cp311-linux_x86_64."""
    python = f"cp{sys.version_info[0]}{sys.version_info[1]}"
    abi = python + getattr(sys, "abiflags", "")
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return f"{python}-{abi}-{platform}"


def _write_dist_info(directory, project):
    dist_info = Path(directory) / _dist_info_name(project)
    dist_info.mkdir(parents=True, exist_ok=True)
    (dist_info / "METADATA").write_text(_metadata(project))
    (dist_info / "WHEEL").write_text("Wheel-Version: 1.0\nGenerator: dravik_build\nRoot-Is-Purelib: false\n"
                                     f"Tag: {_tag()}\n")
    return dist_info


def _build_dir(config_settings):
    chosen = (config_settings or {}).get("build-dir")
    if chosen:
        return Path(chosen)
    default = ROOT / "build" / "wheel"
    try:
        default.mkdir(parents=True, exist_ok=True)
        return default
    except OSError:
        return Path(tempfile.mkdtemp(prefix="dravik-wheel-"))


def _run(command):
    print("dravik_build:", " ".join(map(str, command)), file=sys.stderr, flush=True)
    subprocess.run(command, check=True, stdout=sys.stderr)


def _record_line(path, arcname):
    data = path.read_bytes()
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{arcname},sha256={digest},{len(data)}"


def get_requires_for_build_wheel(config_settings=None):
    """Nothing beyond the standard library: the build needs no package from an index."""
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    """Writes the .dist-info folder into ``metadata_directory`` and returns its name."""
    return _write_dist_info(metadata_directory, _project()).name


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    """Builds the package with CMake and writes its wheel into ``wheel_directory``; returns the wheel's name."""
    project = _project()
    build = _build_dir(config_settings)
    generator = ["-G", "Ninja"] if shutil.which("ninja") and not (build / "CMakeCache.txt").exists() else []
    _run(["cmake", "-S", ROOT, "-B", build, *generator, "-DCMAKE_BUILD_TYPE=Release", "-DVPC_BUILD_PYTHON=ON",
          "-DVPC_BUILD_TESTS=OFF", "-DVPC_BUILD_BENCH=OFF", f"-DPython3_EXECUTABLE={sys.executable}"])
    _run(["cmake", "--build", build, "--target", "_dravik", "--parallel",
          os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")])
    with tempfile.TemporaryDirectory(prefix="dravik-stage-") as stage:
        _run(["cmake", "--install", build, "--component", "python", "--prefix", stage])
        dist_info = _write_dist_info(stage, project)
        wheel_name = f"{project['name']}-{project['version']}-{_tag()}.whl"
        files = sorted(p for p in Path(stage).rglob("*") if p.is_file())
        record = [_record_line(p, p.relative_to(stage).as_posix()) for p in files]
        record.append(f"{dist_info.name}/RECORD,,")
        (dist_info / "RECORD").write_text("\n".join(record) + "\n")
        with zipfile.ZipFile(Path(wheel_directory) / wheel_name, "w", zipfile.ZIP_DEFLATED) as wheel:
            for path in files + [dist_info / "RECORD"]:
                wheel.write(path, path.relative_to(stage).as_posix())
    return wheel_name
