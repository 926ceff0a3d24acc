#!/usr/bin/env bash
# Builds the release programs and times launches against the floor of an empty
# program, with the registry on tmpfs. Not a test: it prints figures.
#
#   scripts/bench.sh [--rounds N]      (default 200)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
rounds=200
[ "${1:-}" = "--rounds" ] && rounds=$2
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
bin=build/release
exec "$bin/bench/lumivarden-bench" --rounds "$rounds" --program "$bin/lumivarden" \
    --empty "$bin/bench/lumivarden-empty" --driver "$bin/tools/lampd/lumivarden-lampd" \
    --shell bench/naive_toggle.sh --dir /dev/shm --exe build/windows/lumivarden.exe
