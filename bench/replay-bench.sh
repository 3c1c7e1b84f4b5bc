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

# replay NAME LOGS [OPTIONS...]: one timed run, one line of figures.
replay() {
    local name=$1 logs=$2
    shift 2
    rm -rf "$work/data" "$work/events.ndjson"
    /usr/bin/time -f "%e %M" -o "$work/time" "$build/src/zembrant-cli" replay "$work/capture.txt" \
        --data-dir "$work/data" --logs "$logs" --clock-start 1700000000 --json "$@" > "$work/out.json"
    read -r seconds peak_kb < "$work/time"
    read_blocks=$(value blocksRead)
    dropped=$(value logRecordsDropped)
    local events=""
    grep -q '"eventsPublished"' "$work/out.json" &&
        events="; events: $(value eventsPublished), dropped: $(value eventsDropped)"
    echo "replay of $blocks blocks, $name: ${seconds} s wall," \
         "$(awk -v b="$read_blocks" -v s="$seconds" 'BEGIN { printf "%.0f", b / s }') blocks a second," \
         "peak memory $((peak_kb / 1024)) MB; blocks read: $read_blocks; log records dropped: $dropped$events"
    [ "$read_blocks" = "$blocks" ] && [ "$dropped" = 0 ] || ok=false
}

ok=true
replay "logs all, no history" all --no-history
replay "logs none, no history" none --no-history
# The history, as a new user has it: on, beside every log. Then its size, and how long
# one radio's rows take to read back.
replay "logs all, history" all
history_db=$(ls "$work"/data/System*/History.sqlite)
echo "history database: $(( $(stat -c %s "$history_db") * 1000000 / blocks / 1024 )) KB per million blocks"
system=$(basename "$(dirname "$history_db")" | sed 's/^System//')
radio=$("$build/src/zembrant-cli" history --data-dir "$work/data" --system "$system" --kind grant --limit 1 \
        --csv | awk -F, 'NR == 2 { gsub(/"/, "", $0); print $0 }' | tr ',' '\n' | grep -m1 -E '^[0-9]{6,8}$' || true)
if [ -n "$radio" ]; then
    start=$(date +%s%N)
    rows=$("$build/src/zembrant-cli" history --data-dir "$work/data" --system "$system" --radio "$radio" --csv | wc -l)
    echo "history query for radio $radio: $(( rows - 1 )) rows in $(( ($(date +%s%N) - start) / 1000000 )) ms" \
         "(the whole zembrant-cli run)"
fi
# The live events, every log on: to a file, and to a broker of our own on a free port.
replay "logs all, --events FILE" all --no-history --events "$work/events.ndjson"
if command -v mosquitto > /dev/null; then
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    printf 'listener %s 127.0.0.1\nallow_anonymous true\nmax_queued_messages 1000000\n' "$port" > "$work/mosquitto.conf"
    mosquitto -c "$work/mosquitto.conf" > /dev/null 2>&1 &
    broker=$!
    for _ in $(seq 50); do (echo > "/dev/tcp/127.0.0.1/$port") 2> /dev/null && break; sleep 0.1; done
    replay "logs all, --mqtt to a local broker" all --no-history --mqtt "mqtt://127.0.0.1:$port/zembrant"
    kill "$broker"
fi
if [ -x "$build/bench/window_bench" ] && [ -z "${SKIP_WINDOW:-}" ]; then
    QT_QPA_PLATFORM=offscreen "$build/bench/window_bench" "$work/capture.txt" 2> /dev/null
fi
$ok
