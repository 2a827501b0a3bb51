#!/bin/sh
# Installs the Debian packages the build, the tests, the fuzzers and the
# benchmarks need, when any is missing. Run as root (or through sudo).
set -eu

PACKAGES="build-essential cmake ninja-build g++ pkg-config
libgtest-dev libgmock-dev libbenchmark-dev
nlohmann-json3-dev libsimdjson-dev libmuparser-dev libcli11-dev zlib1g-dev
g++-multilib lib32z1-dev qemu-user googletest gcovr
clang-14 libclang-rt-14-dev valgrind binutils python3 python3-jsonschema
libgraphviz-dev libutf8proc-dev chromium
pybind11-dev python3-dev python3-numpy python3-pytest python3-venv python3-pip"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

if [ -n "$missing" ]; then
  echo "install-deps: installing:$missing" >&2
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends $missing
fi
