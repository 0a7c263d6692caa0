#!/usr/bin/env bash
# Configures and builds Tarvest into ./build (two parallel jobs, ccache when present).
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
# A clone in another folder (a CI run, a second work tree) reuses the objects compiled in
# this one: paths are hashed relative to the source tree, and the build folder's own path
# is left out of the hash (it only names the folder in the debug information).
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(pwd)}"
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build build -j2
