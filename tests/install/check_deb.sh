#!/usr/bin/env bash
# Packs a build with cpack -G DEB, unpacks the package into a temporary root
# and checks what a user gets: both programs, the man pages, the systemd user
# unit pointing at the packaged driver, the udev rule, the dependencies found by
# dpkg-shlibdeps and a description.
#
#   check_deb.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check_deb: $*" >&2; exit 1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1) ||
    fail "cpack failed: $(cat "$work/cpack.log")"
debs=("$work"/lumivarden_*.deb)
[ -f "${debs[0]}" ] || fail "no .deb was made"
deb=${debs[0]}

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = lumivarden ] || fail "the package is named '$(field Package)'"
grep -q 'libc6 (>=' <<<"$(field Depends)" ||
    fail "the dependencies were not worked out: '$(field Depends)'"
[ "$(field Description | wc -l)" -ge 2 ] || fail "no long description"

root="$work/root"
dpkg -x "$deb" "$root"
for file in usr/bin/lumivarden usr/bin/lumivarden-lampd; do
    [ -x "$root/$file" ] || fail "$file is missing or not executable"
done
for file in usr/share/man/man1/lumivarden.1 usr/share/man/man1/lumivarden-lampd.1 \
    usr/lib/systemd/user/lumivarden-lampd.service usr/lib/udev/rules.d/90-lumivarden-leds.rules; do
    [ -f "$root/$file" ] || fail "$file is missing"
done
grep -qx 'ExecStart=/usr/bin/lumivarden-lampd --device-dir %t/lumivarden/devices' \
    "$root/usr/lib/systemd/user/lumivarden-lampd.service" || fail "the unit does not start /usr/bin/lumivarden-lampd"
"$root/usr/bin/lumivarden-lampd" --help | grep -q '^Usage: lumivarden-lampd' ||
    fail "the packaged driver does not run"
echo "check_deb: $(basename "$deb"), Depends: $(field Depends)"
