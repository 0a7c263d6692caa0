#!/usr/bin/env bash
# Builds the test programs with AddressSanitizer and UndefinedBehaviorSanitizer into
# ./build-asan (warnings are errors there). Only the tests and what they link are built;
# the fuzz targets are sanitized builds of their own and run in the main build.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
# -O1 keeps the sanitized tests quick to compile and still quick to run.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DTARVEST_SANITIZE=ON -DTARVEST_BENCH=OFF -DTARVEST_FUZZ=OFF >/dev/null
cmake --build build-asan -j2 --target tarvest_core_tests tarvest_ui_tests
