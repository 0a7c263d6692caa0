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
# Precompiled headers are cached too: their own compile, and every source that includes one
# (ccache then hashes the precompiled file itself, which the cache gives back unchanged).
export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build build -j2
