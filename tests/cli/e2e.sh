#!/usr/bin/env bash
# End-to-end checks of zembrant-cli with captures and live scanners from zembrant-sim.
# Usage: e2e.sh CLI SIM TEST
set -u
cli=$1
sim=$2
test=$3
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
export TZ=UTC

fail() { echo "FAIL: $*"; exit 1; }

# Starts a simulated scanner of type $1 on a pseudo-terminal; sets pty.
start_scanner() {
    rm -f "$work/sim.out"
    "$sim" live --scanner "$1" --rate 200 --seed 5 > "$work/sim.out" 2> "$work/sim.err" &
    sim_pid=$!
    for _ in $(seq 50); do
        pty=$(head -n 1 "$work/sim.out" 2>/dev/null)
        [ -n "$pty" ] && return 0
        sleep 0.1
    done
    fail "the simulated scanner printed no terminal"
}

# Sends signal $1 to process $2 and waits for it: fails when it still runs $3 seconds
# later; sets rc to its exit status.
stop_within() {
    kill -"$1" "$2"
    for _ in $(seq $(($3 * 20))); do
        kill -0 "$2" 2>/dev/null || break
        sleep 0.05
    done
    if kill -0 "$2" 2>/dev/null; then
        kill -KILL "$2"
        fail "still running $3 s after SIG$1"
    fi
    wait "$2"
    rc=$?
}

json_value() { grep -m1 "\"$2\":" "$1" | sed 's/.*: *\([^,]*\),\{0,1\}$/\1/'; }

case $test in
usage)
    "$cli" --help | grep -q "zembrant-cli replay FILE" || fail "help"
    "$cli" --version | grep -q "^zembrant-cli [0-9]" || fail "version"
    "$cli" --help | grep -q "^Exit status:" || fail "help gives no exit statuses"
    "$cli" replay x --clock-start 253402300800 2>&1 | grep -q "from 1 to 253402300799" || fail "clock range message"
    for args in "" "replay" "live --port /dev/null" "replay a b" "frobnicate" "replay x --format 9" \
                "live --port p --scanner toaster" "replay x --clock-start 0" "replay x --bogus" \
                "replay x --clock-start 253402300800" "replay x --clock-start 9223372036854775807"; do
        "$cli" $args > /dev/null 2> "$work/err"
        [ $? -eq 2 ] || fail "'$args' should exit 2"
        grep -q "^zembrant-cli: " "$work/err" || fail "'$args' gives no message"
    done
    ;;
replays_every_kind)
    for kind in 0 1 2 3 4 5; do
        "$sim" capture --kind $kind --blocks 6000 --seed 11 -o "$work/capture$kind.txt" || fail "sim kind $kind"
        "$cli" replay "$work/capture$kind.txt" --format $kind --data-dir "$work/data$kind" --logs all \
            --clock-start 1700000000 --json > "$work/out$kind.json" || fail "replay of kind $kind"
        [ "$(json_value "$work/out$kind.json" sysId)" != 0 ] || fail "kind $kind identified no system"
        [ "$(json_value "$work/out$kind.json" logRecordsDropped)" = 0 ] || fail "kind $kind dropped log records"
        folder=$(ls -d "$work/data$kind"/System*)
        for f in System.ini TalkGroups.txt Radios.txt; do
            [ -s "$folder/$f" ] || fail "kind $kind: no $f"
        done
        for log in GrantLog EventLog Affiliations PatchLog Dump; do
            ls "$folder/$log"-*.* > /dev/null 2>&1 || fail "kind $kind: no $log"
        done
        head -n 1 "$folder"/GrantLog-*.csv | grep -q '^"Timestamp","Type","Channel"' || fail "kind $kind: grant header"
    done
    # Every kind carries the same blocks, so the learned talkgroups agree.
    for kind in 1 2 3 4 5; do
        cmp -s "$(ls "$work"/data0/System*/TalkGroups.txt)" "$(ls "$work"/data$kind/System*/TalkGroups.txt)" ||
            fail "kind $kind learned other talkgroups than kind 0"
    done
    ;;
reproducible)
    "$sim" capture --kind zembrantdump --blocks 20000 --seed 3 -o "$work/capture.txt" || fail "sim"
    for run in a b; do
        "$cli" replay "$work/capture.txt" --data-dir "$work/$run" --logs all --clock-start 1700000000 --quiet ||
            fail "replay $run"
    done
    diff -r "$work/a" "$work/b" > "$work/diff" || { head "$work/diff"; fail "two replays differ"; }
    ;;
own_dump_replays)
    # The packet dump the program writes is itself a capture that replays to the same system.
    "$sim" capture --kind psr500dump --blocks 8000 --seed 4 -o "$work/capture.txt" || fail "sim"
    "$cli" replay "$work/capture.txt" --format psr500dump --data-dir "$work/a" --logs dump \
        --clock-start 1700000000 --json > "$work/a.json" || fail "first replay"
    dump=$(ls "$work"/a/System*/Dump-*.txt)
    "$cli" replay "$dump" --format zembrantdump --data-dir "$work/b" --logs none --json > "$work/b.json" ||
        fail "replay of the dump"
    [ "$(json_value "$work/a.json" sysId)" = "$(json_value "$work/b.json" sysId)" ] || fail "another system"
    ;;
live_*)
    type=${test#live_}
    start_scanner "$type"
    "$cli" live --port "$pty" --scanner "$type" --duration 3 --data-dir "$work/data" --logs all --json \
        > "$work/out.json" 2> "$work/err" || { cat "$work/err"; fail "live session"; }
    [ "$(json_value "$work/out.json" sysId)" != 0 ] || fail "no system identified"
    [ "$(json_value "$work/out.json" blocksRead)" -gt 10 ] || fail "too few blocks"
    ls "$work"/data/System*/System.ini > /dev/null || fail "no system folder"
    ;;
signal_stops_live)
    for signal in TERM HUP; do
        start_scanner psr500
        "$cli" live --port "$pty" --scanner psr500 --data-dir "$work/data$signal" --logs grants --quiet &
        pid=$!
        sleep 3
        stop_within $signal $pid 10
        [ $rc -eq 0 ] || fail "exit status $rc after SIG$signal"
        ls "$work"/data$signal/System*/TalkGroups.txt > /dev/null || fail "nothing saved at SIG$signal"
        ls "$work"/data$signal/System*/GrantLog-*.csv > /dev/null || fail "grant log not saved at SIG$signal"
        kill $sim_pid
        wait $sim_pid
    done
    ;;
signal_stops_replay)
    "$sim" capture --kind 4 --blocks 3000 --seed 3 -o "$work/capture.txt" || fail "sim"
    mkfifo "$work/fifo"
    # A FIFO nobody writes to yet.
    "$cli" replay "$work/fifo" --data-dir "$work/a" --quiet &
    pid=$!
    sleep 1
    stop_within INT $pid 1
    [ $rc -eq 130 ] || fail "exit status $rc after SIGINT on an idle FIFO"
    # A writer that has sent a capture and keeps the FIFO open, as tail -f does.
    for signal in INT TERM; do
        "$cli" replay "$work/fifo" --data-dir "$work/$signal" --quiet &
        pid=$!
        exec 3> "$work/fifo"
        cat "$work/capture.txt" >&3
        sleep 2
        stop_within $signal $pid 1
        exec 3>&-
        expected=$((128 + $(kill -l $signal)))
        [ $rc -eq $expected ] || fail "exit status $rc after SIG$signal on an open pipe, not $expected"
        ls "$work"/$signal/System*/TalkGroups.txt > /dev/null || fail "what was decoded is not saved at SIG$signal"
    done
    # tail -f on a pipe to standard input.
    ( echo $BASHPID > "$work/tail.pid"; exec tail -f -n +1 "$work/capture.txt" ) 2> /dev/null |
        "$cli" replay /dev/stdin --data-dir "$work/stdin" --quiet &
    pid=$!
    sleep 2
    stop_within TERM $pid 1
    kill "$(cat "$work/tail.pid")"
    [ $rc -eq 143 ] || fail "exit status $rc after SIGTERM on standard input"
    ls "$work"/stdin/System*/TalkGroups.txt > /dev/null || fail "what was read from standard input is not saved"
    ;;
data_folder_lock)
    "$sim" capture --kind 4 --blocks 3000 --seed 3 -o "$work/capture.txt" || fail "sim"
    "$cli" replay "$work/capture.txt" --data-dir "$work/alone" --clock-start 1700000000 --quiet || fail "replay alone"
    mkfifo "$work/fifo"
    # The first run holds the folder as long as its writer keeps the FIFO open.
    "$cli" replay "$work/fifo" --data-dir "$work/data" --clock-start 1700000000 --quiet &
    pid=$!
    exec 3> "$work/fifo"
    cat "$work/capture.txt" >&3
    for args in "replay $work/capture.txt" "live --port $work/no-such-port --scanner pro96 --duration 1"; do
        "$cli" $args --data-dir "$work/data" --quiet > "$work/out" 2> "$work/err"
        [ $? -eq 1 ] || fail "a second '$args' should exit 1"
        [ "$(cat "$work/err")" = "zembrant-cli: Zembrant is already using the data folder $work/data/ (process $pid)" ] ||
            fail "second '$args': $(cat "$work/err")"
    done
    "$cli" --version > /dev/null || fail "--version refused while the folder is held"
    sleep 2
    stop_within INT $pid 5
    exec 3>&-
    [ $rc -eq 130 ] || fail "the first run exits $rc"
    diff -r "$work/alone" "$work/data" > "$work/diff" || { head "$work/diff"; fail "the first run's folder is not whole"; }
    "$cli" replay "$work/capture.txt" --data-dir "$work/data" --quiet || fail "the folder stays taken after the run"
    ;;
failures)
    "$cli" live --port "$work/no-such-port" --scanner pro96 --duration 5 --data-dir "$work/data" --quiet \
        2> "$work/err"
    [ $? -eq 1 ] || fail "a missing port should exit 1"
    grep -q "Port does not exist!" "$work/err" || fail "missing port message"

    "$cli" live --port "$work/no-such-port" --scanner psr500 --data-dir "$work/data" > "$work/out" 2> /dev/null
    [ $? -eq 1 ] || fail "a missing port should exit 1 without --quiet"
    [ ! -s "$work/out" ] || fail "a port that never opened prints a summary"

    "$cli" replay "$work/none.txt" --data-dir "$work/data" --quiet 2> "$work/err"
    [ $? -eq 1 ] || fail "a missing file should exit 1"
    grep -q "File could not be opened!" "$work/err" || fail "missing file message"

    "$cli" replay "$work" --data-dir "$work/data" > "$work/out" 2> "$work/err"
    [ $? -eq 1 ] || fail "a directory should exit 1"
    grep -q "File could not be opened!" "$work/err" || fail "directory message"
    [ ! -s "$work/out" ] || fail "a directory replays as an empty capture"

    # Reading a process's own memory at offset 0 fails with EIO.
    "$cli" replay /proc/self/mem --data-dir "$work/data" > "$work/out" 2> "$work/err"
    [ $? -eq 1 ] || fail "a read error should exit 1"
    grep -q "^zembrant-cli: /proc/self/mem: read error: Input/output error$" "$work/err" || fail "read error message"
    [ ! -s "$work/out" ] || fail "a read error prints a summary"

    touch "$work/file"
    "$sim" capture --kind 4 --blocks 500 -o "$work/capture.txt"
    "$cli" replay "$work/capture.txt" --data-dir "$work/file/data" --quiet 2> "$work/err"
    [ $? -eq 1 ] || fail "an unusable data directory should exit 1"
    grep -q "data directory" "$work/err" || fail "data directory message"

    mkdir -p "$work/data"
    head -c 3000 /dev/urandom > "$work/data/Zembrant.ini"
    "$cli" replay "$work/capture.txt" --data-dir "$work/data" --quiet 2> "$work/err" ||
        fail "a damaged configuration file should still run"
    grep -q "using the defaults" "$work/err" || fail "damaged configuration message"

    "$cli" replay "$work/capture.txt" --data-dir "$work/data" --config missing.ini --quiet 2> "$work/err"
    [ $? -eq 1 ] || fail "a missing --config file should exit 1"
    ;;
*)
    fail "unknown test $test"
    ;;
esac
echo "PASS: $test"
