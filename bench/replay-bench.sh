#!/usr/bin/env bash
# Timed end-to-end replay: a 1,000,000-block capture from zembrant-sim through zembrant-cli
# with every log on and written to files. Prints blocks a second, peak memory and whether
# any block or log record was lost.
# Usage: bench/replay-bench.sh BUILD_DIR [BLOCKS]
set -euo pipefail
build=${1:-build}
blocks=${2:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC

"$build/tools/zembrant-sim" capture --kind zembrantdump --blocks "$blocks" --seed 3 -o "$work/capture.txt"
/usr/bin/time -f "%e %M" -o "$work/time" "$build/src/zembrant-cli" replay "$work/capture.txt" \
    --data-dir "$work/data" --logs all --clock-start 1700000000 --json > "$work/out.json"

read -r seconds peak_kb < "$work/time"
value() { grep -m1 "\"$1\":" "$work/out.json" | sed 's/.*: *\([^,]*\),\{0,1\}$/\1/'; }
read_blocks=$(value blocksRead)
dropped=$(value logRecordsDropped)
dump_lines=$(cat "$work"/data/System*/Dump-*.txt | wc -l)
echo "replay of $blocks blocks, every log on: ${seconds} s wall," \
     "$(awk -v b="$read_blocks" -v s="$seconds" 'BEGIN { printf "%.0f", b / s }') blocks a second," \
     "peak memory $((peak_kb / 1024)) MB"
echo "blocks read: $read_blocks of $blocks; log records dropped: $dropped; packet dump lines: $dump_lines"
[ "$read_blocks" = "$blocks" ] && [ "$dropped" = 0 ]
