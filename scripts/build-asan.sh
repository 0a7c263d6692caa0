#!/usr/bin/env bash
# Builds the test programs with AddressSanitizer and UndefinedBehaviorSanitizer into
# ./build-asan (warnings are errors there). Only the tests and what they link are built;
# the fuzz targets are sanitized builds of their own and run in the main build.
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
# -O1 keeps the sanitized tests quick to compile and still quick to run; line tables
# (-g1) are all that the reports need to name file and line.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g1 -O1" \
  -DCMAKE_C_FLAGS_DEBUG="-g1 -O1" -DTARVEST_SANITIZE=ON -DTARVEST_BENCH=OFF -DTARVEST_FUZZ=OFF >/dev/null
cmake --build build-asan -j2 --target tarvest_core_tests tarvest_ui_tests
