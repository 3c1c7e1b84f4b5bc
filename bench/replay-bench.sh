#!/usr/bin/env bash
# Timed end-to-end replay: a 1,000,000-block capture of a large site (5,000 radios, 400
# talkgroups) from zembrant-sim through zembrant-cli, once with every log on and written to
# files and once with every log off. Prints blocks a second, peak memory and whether any
# block or log record was lost. Then the same capture through the window, offscreen, with
# every tab shown: how late a 10 ms timer fires while the lists fill.
# Usage: bench/replay-bench.sh BUILD_DIR [BLOCKS]
set -euo pipefail
build=${1:-build}
blocks=${2:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC

"$build/tools/zembrant-sim" capture --kind zembrantdump --blocks "$blocks" --seed 3 --radios 5000 \
    --talkgroups 400 -o "$work/capture.txt"
value() { grep -m1 "\"$1\":" "$work/out.json" | sed 's/.*: *\([^,]*\),\{0,1\}$/\1/'; }

ok=true
for logs in all none; do
    rm -rf "$work/data"
    /usr/bin/time -f "%e %M" -o "$work/time" "$build/src/zembrant-cli" replay "$work/capture.txt" \
        --data-dir "$work/data" --logs "$logs" --clock-start 1700000000 --json > "$work/out.json"
    read -r seconds peak_kb < "$work/time"
    read_blocks=$(value blocksRead)
    dropped=$(value logRecordsDropped)
    echo "replay of $blocks blocks, logs $logs: ${seconds} s wall," \
         "$(awk -v b="$read_blocks" -v s="$seconds" 'BEGIN { printf "%.0f", b / s }') blocks a second," \
         "peak memory $((peak_kb / 1024)) MB; blocks read: $read_blocks; log records dropped: $dropped"
    [ "$read_blocks" = "$blocks" ] && [ "$dropped" = 0 ] || ok=false
done
if [ -x "$build/bench/window_bench" ]; then
    QT_QPA_PLATFORM=offscreen "$build/bench/window_bench" "$work/capture.txt" 2> /dev/null
fi
$ok
