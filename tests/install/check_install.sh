#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what lands there: the
# two programs, their man pages (rendered without a warning), the systemd user
# unit pointing at the installed driver and the udev rule for LEDs.
#
#   check_install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "check_install: $*" >&2; exit 1; }
for program in lumivarden lumivarden-lampd; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is missing or not executable"
    page="$prefix/share/man/man1/$program.1"
    [ -f "$page" ] || fail "share/man/man1/$program.1 is missing"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=all -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$program.1 renders with warnings: $warnings"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q "EXIT STATUS" ||
        fail "$program.1 has no EXIT STATUS section"
done
"$prefix/bin/lumivarden-lampd" --help | grep -q '^Usage: lumivarden-lampd' ||
    fail "the installed driver does not explain itself"
unit="$prefix/lib/systemd/user/lumivarden-lampd.service"
[ -f "$unit" ] || fail "lib/systemd/user/lumivarden-lampd.service is missing"
grep -qx "ExecStart=$prefix/bin/lumivarden-lampd --device-dir %t/lumivarden/devices" "$unit" ||
    fail "the unit does not start the installed driver: $(grep ExecStart "$unit")"
[ -f "$prefix/lib/udev/rules.d/90-lumivarden-leds.rules" ] ||
    fail "lib/udev/rules.d/90-lumivarden-leds.rules is missing"
echo "check_install: installed and checked in $prefix"
