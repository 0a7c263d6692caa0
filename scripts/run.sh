#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tarvest on its embedded database.
#   bash scripts/run.sh [--sample] [program arguments]
# --sample first fills a new, empty embedded database with a made-up province, users of
# every level and a few dozen cases (a database that holds cases is left as it is).
set -euo pipefail
cd "$(dirname "$0")/.."
sample=0
args=()
for a in "$@"; do
    if [ "$a" = "--sample" ]; then sample=1; else args+=("$a"); fi
done
bash scripts/install-deps.sh
bash scripts/build.sh
if [ "$sample" = 1 ]; then
    ./build/tarvest-admin sample --embedded || echo "(sample data not written; the program starts on the database as it is)"
fi
exec ./build/tarvest "${args[@]+"${args[@]}"}"
