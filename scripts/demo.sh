#!/usr/bin/env bash
# Installs what the build needs when it is missing, builds the release
# programs, starts the stand-in lamp driver in a temporary
# device folder and shows three launches: what the driver did and what the
# registry remembers after each.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/ensure-packages.sh scripts/packages/build.txt
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
bin="$root/build/release"

work=$(mktemp -d)
driver=
cleanup() {
    if [ -n "$driver" ]; then kill -TERM "$driver" 2>/dev/null || true; wait "$driver" || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

export LUMIVARDEN_REGISTRY_DIR="$work/registry"
export LUMIVARDEN_DEVICE_DIR="$work/devices"
"$bin/tools/lampd/lumivarden-lampd" > >(sed -u 's/^/  driver: /') &
driver=$!
for _ in $(seq 100); do [ -S "$LUMIVARDEN_DEVICE_DIR/CIF1:" ] && break; sleep 0.05; done
[ -S "$LUMIVARDEN_DEVICE_DIR/CIF1:" ] || { echo "the stand-in driver did not start" >&2; exit 1; }

for launch in 1 2 3; do
    echo "launch $launch:"
    status=0
    "$bin/lumivarden" || status=$?
    sleep 0.05  # let the driver's line through the pipe
    stored=$(iconv -f UTF-16 -t UTF-8 "$LUMIVARDEN_REGISTRY_DIR/HKEY_CURRENT_USER.reg" |
        tr -d '\r' | grep '^"Enabled"=' || echo "(none)")
    echo "  exit status: $status"
    echo "  stored:      $stored"
done
