#!/usr/bin/env bash
# Crash torture of the hive writes: launches the test build of the tool while
# killing it at random moments and at each step of a hive write, then prints
# what it found. Default two minutes; --seconds N for longer runs.
#
#   scripts/torture.sh [--seconds N] [--seed N]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=120
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) seconds=$2; shift 2 ;;
        --seed) args+=(--seed "$2"); shift 2 ;;
        *) echo "usage: scripts/torture.sh [--seconds N] [--seed N]" >&2; exit 2 ;;
    esac
done
cmake --preset dev >/dev/null
cmake --build --preset dev --target lumivarden-torture >/dev/null
exec build/dev/tests/lumivarden-torture --program build/dev/lumivarden --seconds "$seconds" "${args[@]}"
