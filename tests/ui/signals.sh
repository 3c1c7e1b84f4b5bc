#!/usr/bin/env bash
# The window under a live session gets SIGTERM or SIGHUP: it saves as the settings say and exits 0.
set -euo pipefail
zembrant=$1 sim=$2
work=$(mktemp -d)
trap 'kill "$simpid" 2>/dev/null || true; rm -rf "$work"' EXIT
for signal in TERM HUP; do
    rm -rf "${work:?}"/*
    "$sim" live --scanner psr500 --duration 60 > "$work/sim.out" 2>&1 &
    simpid=$!
    for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
    port=$(head -1 "$work/sim.out")
    printf '[Communications]\nPort=%s\nScannerType=1\n[AutoSave]\nDataSaveOnExit=Yes\nLogSaveOnExit=Yes\n[Grants]\nAutoSave=Yes\nVisible=Yes\n' \
        "$port" > "$work/Zembrant.ini"
    QT_QPA_PLATFORM=offscreen "$zembrant" -d "$work" -DECODE 2>/dev/null &
    pid=$!
    for _ in $(seq 100); do compgen -G "$work/System*/Tower*.txt" > /dev/null && break; sleep 0.1; done
    sleep 2
    kill -"$signal" "$pid"
    status=0
    wait "$pid" || status=$?
    kill "$simpid" 2>/dev/null || true
    [ "$status" -eq 0 ] || { echo "SIG$signal: exit $status"; exit 1; }
    compgen -G "$work/System*/TalkGroups.txt" > /dev/null || { echo "SIG$signal: folder not saved"; exit 1; }
    compgen -G "$work/System*/GrantLog-*.csv" > /dev/null || { echo "SIG$signal: grant log not saved"; exit 1; }
done
