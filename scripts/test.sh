#!/usr/bin/env bash
# Installs what is missing, builds, starts a throwaway PostgreSQL cluster and runs
# every test against the embedded SQLite database and that server.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
bash scripts/install-deps.sh
bash scripts/build.sh

pgdir=$(mktemp -d /tmp/tarvest-pg.XXXXXX)
cleanup() { bash "$top/scripts/pg-throwaway.sh" stop "$pgdir"; }
trap cleanup EXIT
TARVEST_TEST_PG=$(bash scripts/pg-throwaway.sh start "$pgdir")
export TARVEST_TEST_PG
echo "PostgreSQL for the tests: $TARVEST_TEST_PG"

export QT_QPA_PLATFORM=offscreen
cd build
log=$(mktemp)
ctest --output-on-failure -j2 "$@" | tee "$log"
# The database tests must really have run against the server, not been skipped.
if grep -E '/Postgres .*Skipped' "$log"; then
  echo "PostgreSQL tests were skipped although a server was started" >&2
  exit 1
fi
echo "Database tests run against PostgreSQL: $(grep -cE '/Postgres .*Passed' "$log")"
# ctest's own summary stays the last line of the run.
grep -E '^[0-9]+% tests passed' "$log" | tail -n 1
rm -f "$log"
