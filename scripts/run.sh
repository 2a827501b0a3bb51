#!/bin/sh
# Builds the host runner and the module with the dev preset, then runs the
# default scene. Extra arguments go to `dravik run`.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target dravik vpc_prccall_module
exec ./build/dev/bin/dravik run "$@"
