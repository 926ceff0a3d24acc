#!/usr/bin/env bash
# Every test: the debug build with lint checks, then the whole suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer with a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --workflow --preset test
cmake --workflow --preset sanitize
