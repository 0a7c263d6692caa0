#!/usr/bin/env bash
# Builds the Debian package of Tarvest from the build folder: configures ./build as
# scripts/build.sh does, builds what the package holds (two jobs), and runs CPack there.
# Prints the path of the .deb (build/tarvest_<version>-<release>_<arch>.deb) as its last line.
#   bash scripts/package.sh
# Then, on a workstation:  sudo apt install ./build/tarvest_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
# CPack installs without building first (packaging/packaging.cmake), so only the programs
# and the compressed manual pages are built here, not the tests.
cmake --build build -j2 --target tarvest tarvest-admin tarvest_package_docs
rm -f build/tarvest_*.deb
(cd build && cpack -G DEB >cpack.log 2>&1) || { cat build/cpack.log >&2; exit 1; }
deb=$(ls build/tarvest_*.deb)
echo "$(pwd)/$deb"
