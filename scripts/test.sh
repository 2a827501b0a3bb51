#!/bin/sh
# Builds everything with the dev preset and runs every test.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
exec cmake --workflow --preset dev
