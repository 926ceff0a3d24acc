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
# The tool as most users build a CMake project, and the floor as a user
# compiles an empty program, to set beside the preset's.
plain=build/bench-plain
cmake -S . -B "$plain" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$plain" --target lumivarden >/dev/null
g++ -O2 -o "$plain/empty-g++" bench/empty.cpp
exec "$bin/bench/lumivarden-bench" --rounds "$rounds" --program "$bin/lumivarden" \
    --empty "$bin/bench/lumivarden-empty" --driver "$bin/tools/lampd/lumivarden-lampd" \
    --shell bench/naive_toggle.sh --dir /dev/shm --exe build/windows/lumivarden.exe \
    --plain-program "$plain/lumivarden" --plain-empty "$plain/empty-g++"
