#!/usr/bin/env bash
# Every test: installs what they need when it is missing, runs the debug build
# with lint and set-up checks, then the whole suite again under AddressSanitizer
# and UndefinedBehaviorSanitizer with a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/ensure-packages.sh scripts/packages/build.txt scripts/packages/test.txt
cmake --workflow --preset test
cmake --workflow --preset sanitize
