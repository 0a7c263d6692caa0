#!/usr/bin/env bash
# Installs what is missing, builds, starts a throwaway PostgreSQL cluster and runs
# every test against the embedded SQLite database and that server. Then builds the
# tests again with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan, warnings
# as errors) and runs their SQLite half there, and checks the format of changed files.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
bash scripts/install-deps.sh
bash scripts/check-format.sh
bash scripts/build.sh

pgdir=$(mktemp -d /tmp/tarvest-pg.XXXXXX)
log=$(mktemp)
asanlog=$(mktemp)
cleanup() { bash "$top/scripts/pg-throwaway.sh" stop "$pgdir"; rm -f "$log" "$asanlog"; }
trap cleanup EXIT
TARVEST_TEST_PG=$(bash scripts/pg-throwaway.sh start "$pgdir")
export TARVEST_TEST_PG
echo "PostgreSQL for the tests: $TARVEST_TEST_PG"

export QT_QPA_PLATFORM=offscreen
(cd build && ctest --output-on-failure -j2 "$@") | tee "$log"
# The database tests must really have run against the server, not been skipped.
if grep -E '/Postgres .*Skipped' "$log"; then
  echo "PostgreSQL tests were skipped although a server was started" >&2
  exit 1
fi
bash scripts/pg-throwaway.sh stop "$pgdir"

# The sanitizer run: the same tests on SQLite only (the PostgreSQL half is left out, so
# the guard above concerns the main run alone). Any report ends the test with an error.
bash scripts/build-asan.sh
(
  cd build-asan
  unset TARVEST_TEST_PG
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
  export LSAN_OPTIONS="suppressions=$top/scripts/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  ctest --output-on-failure -j2 -E '/Postgres' "$@"
) | tee "$asanlog"

# The Debian package last, so a failing test ends the run before the package is made:
# built, checked, installed into a fresh Debian 12 root and removed.
bash scripts/test-package.sh

echo "Sanitizer run (SQLite): $(grep -E '^[0-9]+% tests passed' "$asanlog" | tail -n 1)"
echo "Database tests run against PostgreSQL: $(grep -cE '/Postgres .*Passed' "$log")"
# ctest's own summary of the main run stays the last line.
grep -E '^[0-9]+% tests passed' "$log" | tail -n 1
