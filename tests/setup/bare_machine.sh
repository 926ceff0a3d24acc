#!/usr/bin/env bash
# The README's first command on a bare Debian system: a minimal system is made
# with debootstrap in a temporary folder, the sources are copied in, and
# scripts/demo.sh runs there as root with nothing installed beforehand. It must
# install what it lacks, build, and show the lamp on, off and on. Then, as a
# user without root or sudo, the set-up names the packages to install and
# stops.
#
#   bare_machine.sh SOURCE_DIR        (exit 77, skipped, without root or debootstrap)
set -euo pipefail
source=$1
fail() { echo "bare_machine: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "bare_machine: needs root for chroot"; exit 77; }
command -v debootstrap >/dev/null || { echo "bare_machine: needs debootstrap"; exit 77; }

# shellcheck source=/dev/null
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
# The archive this machine's apt uses, as it may be the only one reachable.
mirror=$(sed -n 's|^URIs: *\([^ ]*/debian\)/*$|\1|p' /etc/apt/sources.list.d/*.sources 2>/dev/null |
    head -n 1 || true)
[ -n "$mirror" ] || mirror=$(sed -n 's|^deb  *\([^ ]*/debian\)/* .*|\1|p' /etc/apt/sources.list \
    2>/dev/null | head -n 1 || true)
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian
root=$(mktemp -d /var/tmp/lumivarden-bare.XXXXXX)
chmod 0755 "$root"  # the root folder of a system: everyone walks through it
cleanup() {
    umount "$root/proc" 2>/dev/null || true
    # Never remove across a mount that is still there.
    mountpoint -q "$root/proc" || rm -rf --one-file-system "$root"
}
trap cleanup EXIT

debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$root.log" 2>&1 ||
    fail "debootstrap failed: $(tail -n 5 "$root.log")"
rm -f "$root.log"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mkdir "$root/src"
if git -C "$source" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$source" && git ls-files -z | tar --null -T - -cf -) | tar -xf - -C "$root/src"
else
    tar -C "$source" --exclude=./build -cf - . | tar -xf - -C "$root/src"
fi

inside() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    LANG=C.UTF-8 "$@"; }
output=$(inside /bin/bash -c 'cd /src && scripts/demo.sh' 2>&1) ||
    fail "the demo failed on a bare system: $(tail -n 20 <<<"$output")"
for expected in 'driver: lamp on' 'driver: lamp off' 'stored:      "Enabled"="1"' \
    'stored:      "Enabled"="2"'; do
    grep -qF "$expected" <<<"$output" || fail "the demo did not show '$expected': $output"
done
[ "$(grep -c 'exit status: 0' <<<"$output")" -eq 3 ] || fail "not three launches ending in 0: $output"

# A user who cannot install is told what to install.
refused=$(inside setpriv --reuid=65534 --regid=65534 --clear-groups \
    /src/scripts/ensure-packages.sh /src/scripts/packages/test.txt 2>&1) &&
    fail "the set-up went on without the test packages: $refused"
grep -q 'apt-get install --no-install-recommends .*libgtest-dev' <<<"$refused" ||
    fail "the set-up did not name the packages to install: $refused"
echo "bare_machine: the demo ran on a bare $suite system: $(grep -c 'driver: lamp' <<<"$output") lamp switches"
