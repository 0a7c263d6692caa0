#!/usr/bin/env bash
# Installs the Debian 12 packages that Tarvest needs to build, run and test.
# Installs only what is missing, so a second run is quick and needs no network.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache clang-format
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql qt6-translations-l10n
  libgl-dev sqlite3 libsqlite3-dev
  libxlsxwriter-dev libminizip-dev libsodium-dev
  fonts-farsiweb fonts-noto-core fonts-noto-ui-core fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev
  postgresql libpq-dev
  xvfb xauth poppler-utils python3 python3-openpyxl python3-xlwt
  # LibreOffice reads the exports back in their tests (headless), as an office would.
  libreoffice-calc-nogui
  # The Debian package and its test (scripts/package.sh, scripts/test-package.sh).
  dpkg-dev lintian desktop-file-utils debootstrap x11-utils man-db
)

missing=()
for p in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

# The database backup runs pg_dump and pg_restore of the PostgreSQL client tools.
if ! command -v pg_dump >/dev/null || ! command -v pg_restore >/dev/null; then
  missing+=(postgresql-client)
fi

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  # The server's own cluster is not needed: tests start a throwaway one.
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
