#!/usr/bin/env bash
# Runs every fuzz target for a while (default 60 s each) from its seed corpus
# and prints executions and findings. New inputs stay in build/sanitize.
#
#   scripts/fuzz.sh [--seconds N] [TARGET...]     targets: hive_reader state_text
#                                                 request_decoder reply_decoder
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=60
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) seconds=$2; shift 2 ;;
        -*) echo "usage: scripts/fuzz.sh [--seconds N] [TARGET...]" >&2; exit 2 ;;
        *) targets+=("$1"); shift ;;
    esac
done
[ ${#targets[@]} -gt 0 ] || targets=(hive_reader state_text request_decoder reply_decoder)

cmake --preset sanitize >/dev/null
cmake --build --preset sanitize --target "${targets[@]/%/_fuzz}" >/dev/null
out="$root/build/sanitize/tests/fuzz"
status=0
for target in "${targets[@]}"; do
    found="$out/found/$target"
    artifacts="$out/artifacts/$target"
    mkdir -p "$found" "$artifacts"
    log="$out/$target.log"
    "$out/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$found" "tests/fuzz/corpus/$target" >"$log" 2>&1 || true
    runs=$(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')
    findings=$(find "$artifacts" -type f | wc -l)
    printf '%-16s %12s executions, %d findings, corpus %d inputs\n' "$target" "${runs:-?}" \
        "$findings" "$(find "$found" -type f | wc -l)"
    if [ "$findings" -gt 0 ]; then status=1; find "$artifacts" -type f -printf '  %p\n'; fi
done
exit $status
