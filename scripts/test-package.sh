#!/usr/bin/env bash
# Builds the Debian package and tests it as an office administrator would meet it:
#  1. its contents and control fields (dpkg-deb --contents / --info): the programs, the
#     menu entry, the icons, the layouts, the manual pages; Depends as dpkg-shlibdeps
#     computed it from the binaries plus the packages loaded at run time;
#  2. desktop-file-validate on the menu entry, the manual pages through man's warnings,
#     lintian on the package (any error fails; its warnings are printed);
#  3. `apt-get install ./tarvest_*.deb` into a fresh Debian 12 root (a debootstrap
#     chroot), then, as a new user with an empty home: the program starts offscreen, and
#     on a virtual X screen shows its login window; the installed tarvest-admin runs
#     `provision` and `date`; `dpkg -r` takes the programs away again.
# The chroot's base system is made once with debootstrap from the Debian mirror and kept
# as a tarball (TARVEST_TEST_ROOT_CACHE, default /var/cache/tarvest-test); each run
# unpacks a fresh copy of it. Where no chroot can be made (not root, no debootstrap, no
# mirror), or with TARVEST_PACKAGE_TEST_ON_HOST=1, step 3 runs on this machine itself
# with dpkg -i and dpkg -r, and says so.
set -euo pipefail
cd "$(dirname "$0")/.."

# A .deb given as the argument is tested as it is; otherwise the package is built first.
if [[ $# -ge 1 ]]; then deb=$(readlink -f "$1"); else deb=$(bash scripts/package.sh | tail -n 1); fi
echo "package: $deb"
work=$(mktemp -d /tmp/tarvest-pkgtest.XXXXXX)
root=""
unmount_root() {
  if [[ -n "$root" ]]; then
    for m in proc var/cache/apt/archives; do
      if mountpoint -q "$root/$m"; then umount -l "$root/$m"; fi
    done
  fi
}
# --one-file-system: never into this machine's apt cache, should it still be bound there.
cleanup() { unmount_root; rm -rf --one-file-system "$work"; }
trap cleanup EXIT
fail() { echo "package test: $*" >&2; exit 1; }

# 1. Contents and control fields.
dpkg-deb --contents "$deb" >"$work/contents"
mkdir -p "$work/x"
dpkg-deb -x "$deb" "$work/x"
for path in ./usr/bin/tarvest ./usr/bin/tarvest-admin ./usr/share/applications/tarvest.desktop \
  ./usr/share/icons/hicolor/scalable/apps/tarvest.svg ./usr/share/icons/hicolor/48x48/apps/tarvest.png \
  ./usr/share/icons/hicolor/256x256/apps/tarvest.png ./usr/share/man/man1/tarvest-admin.1.gz \
  ./usr/share/man/man1/tarvest.1.gz ./usr/share/doc/tarvest/copyright ./usr/share/doc/tarvest/changelog.Debian.gz \
  ./usr/share/tarvest/layouts/Tfrm12.json; do
  grep -qE " $(printf '%s' "$path" | sed 's/[.]/[.]/g')\$" "$work/contents" || fail "$path is not in the package"
done
expected_layouts=$(ls layouts | grep -cE '\.(json|png|jpg)$')
packaged_layouts=$(grep -cE ' \./usr/share/tarvest/layouts/[^/]+$' "$work/contents")
[[ "$expected_layouts" == "$packaged_layouts" ]] || fail "$packaged_layouts layout files packaged, $expected_layouts in layouts/"
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
names=$(sed 's/([^)]*)//g; s/,/ /g' <<<"$depends")
# Computed from the binaries (the linked libraries) and named for run time (loaded ones).
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6sql6 libqt6printsupport6 libqt6network6 libxlsxwriter4 \
  libsodium23 libminizip1 libpq5 libsqlite3-0 libc6 libstdc++6 \
  libqt6sql6-sqlite libqt6sql6-psql fonts-noto-ui-core fonts-farsiweb fonts-noto-core fonts-dejavu-core qt6-translations-l10n \
  postgresql-client; do
  tr ' ' '\n' <<<"$names" | grep -qxF "$p" || fail "Depends lacks $p"
done
# Every library the programs link comes from a package that Depends brings, itself or
# through its own dependencies.
# shellcheck disable=SC2086
apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
  --no-enhances $names 2>/dev/null | sed -n 's/^ *\(Pre\)\{0,1\}Depends: //p; /^[a-z0-9]/p' |
  tr -d '<>' | sort -u >"$work/closure"
for exe in tarvest tarvest-admin; do
  for lib in $(ldd "$work/x/usr/bin/$exe" | awk '/=> \//{print $3}'); do
    owner=$(dpkg -S "$(readlink -f "$lib")" 2>/dev/null || dpkg -S "$lib" 2>/dev/null || true)
    owner=${owner%%:*}
    [[ -n "$owner" ]] || fail "no package holds $lib, which $exe links"
    grep -qx "$owner" "$work/closure" || fail "$exe links $lib of $owner, which Depends does not bring"
  done
done
dpkg-deb --info "$deb" | sed -n '/^ Package:/,$p'

# 2. Menu entry, manual pages, lintian.
desktop-file-validate "$work/x/usr/share/applications/tarvest.desktop"
version=$(dpkg-deb --field "$deb" Version)
zcat "$work/x/usr/share/doc/tarvest/changelog.Debian.gz" | head -n 1 | grep -qF "tarvest ($version)" ||
  fail "the newest entry of packaging/changelog is not version $version"
grep -q '^Name\[fa\]=' "$work/x/usr/share/applications/tarvest.desktop" || fail "the menu entry has no Persian name"
for page in tarvest tarvest-admin; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$work/x/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [[ -z "$warnings" ]] || fail "manual page $page: $warnings"
done
for cmd in provision init-server sample import-gazetteer import-lands backup restore date; do
  zgrep -q "^\.B tarvest-admin $cmd" "$work/x/usr/share/man/man1/tarvest-admin.1.gz" || fail "the manual page lacks $cmd"
done
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || { cat "$work/lintian"; fail "lintian found errors"; }
echo "lintian: no errors; $(grep -c '^W:' "$work/lintian" || true) warnings"
cat "$work/lintian"

# 3. Installed into a fresh Debian 12 root.
make_root() {
  [[ $(id -u) -eq 0 ]] && command -v debootstrap >/dev/null || return 1
  local cache=${TARVEST_TEST_ROOT_CACHE:-/var/cache/tarvest-test}
  local base=$cache/bookworm-minbase.tar
  if [[ ! -s "$base" ]]; then
    echo "making the Debian 12 base root once (debootstrap, kept in $base)"
    mkdir -p "$cache/debs"
    rm -rf "$cache/root"
    debootstrap --variant=minbase --cache-dir="$cache/debs" bookworm "$cache/root" \
      "${TARVEST_DEBIAN_MIRROR:-http://deb.debian.org/debian}" >"$cache/debootstrap.log" 2>&1 ||
      { tail -n 5 "$cache/debootstrap.log" >&2; rm -rf "$cache/root"; return 1; }
    tar -C "$cache/root" -cf "$base.part" . && mv "$base.part" "$base"
    rm -rf "$cache/root"
  fi
  root=$work/root
  mkdir -p "$root"
  tar -C "$root" -xf "$base"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  # This machine's own package sources (with its updates and security suites), so the
  # versions apt picks are the ones its cache already holds.
  if compgen -G "/etc/apt/sources.list.d/*.sources" >/dev/null; then
    rm -f "$root/etc/apt/sources.list"
    cp /etc/apt/sources.list.d/*.sources "$root/etc/apt/sources.list.d/"
  elif [[ -s /etc/apt/sources.list ]]; then
    cp /etc/apt/sources.list "$root/etc/apt/sources.list"
  fi
  echo 'force-unsafe-io' >"$root/etc/dpkg/dpkg.cfg.d/unsafe-io"
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d" && chmod +x "$root/usr/sbin/policy-rc.d"
  mount -t proc proc "$root/proc"
  # Packages this machine has fetched already are taken from its own cache.
  mount --bind /var/cache/apt/archives "$root/var/cache/apt/archives"
}

if [[ "${TARVEST_PACKAGE_TEST_ON_HOST:-0}" != 1 ]] && make_root; then
  where="a fresh Debian 12 root ($root)"
  in_root() { chroot "$root" "$@"; }
  cp "$deb" "$root/tmp/"
  in_root apt-get update -qq
  # The package by itself, its Depends resolved by apt; then the test's own tools.
  in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "/tmp/$(basename "$deb")" >"$work/apt.log" 2>&1 || { tail -n 20 "$work/apt.log"; fail "apt could not install the package"; }
  in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends xvfb xauth x11-utils \
    >>"$work/apt.log" 2>&1 || { tail -n 20 "$work/apt.log"; fail "apt could not install the test tools"; }
else
  where="this machine itself"
  unmount_root
  root=""
  in_root() { "$@"; }
  if dpkg-query -W -f='${Status}' tarvest 2>/dev/null | grep -q "install ok installed"; then
    fail "tarvest is already installed on this machine; the test would remove it"
  fi
  dpkg -i "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "dpkg -i failed"; }
fi
echo "installing into $where: done"

# What the program loads at run time without linking it came with the package.
fonts=$(in_root fc-list : family | tr "," "\n")
for family in "Noto Naskh Arabic UI" Nazli Titr Homa "Noto Naskh Arabic" "Noto Nastaliq Urdu" "DejaVu Serif"; do
  grep -qxF "$family" <<<"$fonts" || fail "the font $family is not installed with the package"
done
qtlib=$(in_root sh -c 'ls -d /usr/lib/*/qt6' | head -n 1)
for f in "$qtlib/plugins/sqldrivers/libqsqlite.so" "$qtlib/plugins/sqldrivers/libqsqlpsql.so" \
  /usr/share/qt6/translations/qtbase_fa.qm /usr/bin/pg_dump /usr/bin/pg_restore; do
  in_root test -e "$f" || fail "$f is not installed with the package"
done

# A new user with an empty home, as on a workstation's first start.
user=tarvesttest$$
in_root useradd --create-home --shell /bin/sh "$user"
as_user() { in_root runuser -u "$user" -- env -i HOME="/home/$user" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"; }
cat >"$work/start.sh" <<'SH'
#!/bin/sh
# Starts the installed program and waits for its login window, offscreen and on a
# virtual X screen; prints what it saw.
set -u
QT_QPA_PLATFORM=offscreen tarvest >"$HOME/offscreen.log" 2>&1 &
pid=$!
sleep 3
if kill -0 $pid 2>/dev/null; then echo "offscreen: running"; kill $pid; else echo "offscreen: ended"; cat "$HOME/offscreen.log"; fi
xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  tarvest >"$HOME/x.log" 2>&1 &
  pid=$!
  for i in $(seq 1 40); do
    if xwininfo -root -tree 2>/dev/null | grep -q "صفحه ورود"; then break; fi
    sleep 0.5
  done
  xwininfo -root -tree | grep "صفحه ورود" || { echo "no login window"; cat "$HOME/x.log"; }
  kill $pid'
SH
if [[ -n "$root" ]]; then
  starter=/tmp/tarvest-start.sh
  install -m 755 "$work/start.sh" "$root$starter"
else
  starter=$work/start.sh
  chmod 755 "$work" "$starter"
fi
seen=$(as_user "$starter")
echo "$seen"
grep -q '^offscreen: running' <<<"$seen" || fail "the installed program did not keep running offscreen"
grep -q 'صفحه ورود' <<<"$seen" || fail "the installed program showed no login window"
grep -q '("tarvest" "Tarvest")' <<<"$seen" || fail "the login window's class is not Tarvest (StartupWMClass)"

out=$(as_user tarvest-admin provision --sqlite "/home/$user/office.sqlite")
grep -qx 'users: created' <<<"$out" || { echo "$out"; fail "installed tarvest-admin provision did not create users"; }
out=$(as_user tarvest-admin provision --sqlite "/home/$user/office.sqlite")
grep -q 'created' <<<"$out" && { echo "$out"; fail "a second provision created something"; }
today=$(as_user tarvest-admin date)
[[ "$today" =~ ^1[3-5][0-9]{2}/[0-9]{2}/[0-9]{2}$ ]] || fail "installed tarvest-admin date printed '$today'"
[[ "$(as_user tarvest-admin date 2029-03-20)" == "1408/01/01" ]] || fail "installed tarvest-admin date 2029-03-20"
echo "installed tarvest-admin: provision and date ($today) work"

in_root userdel --remove "$user" 2>/dev/null || true
in_root dpkg -r tarvest >>"$work/apt.log" 2>&1 || fail "dpkg -r failed"
for f in /usr/bin/tarvest /usr/bin/tarvest-admin /usr/share/applications/tarvest.desktop; do
  in_root test ! -e "$f" || fail "$f is still there after dpkg -r"
done
echo "package test passed in $where: installed, started, provisioned, removed"
