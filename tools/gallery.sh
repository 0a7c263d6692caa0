#!/usr/bin/env bash
# Renders the screens and shared fields to PNG files for review (offscreen):
#   bash tools/gallery.sh [output-folder]     (default: build/gallery)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
out="${1:-build/gallery}"
QT_QPA_PLATFORM=offscreen ./build/tarvest-gallery "$out"
