#!/usr/bin/env bash
# zembrant-cli names end to end on a system folder: export, import of the export (changes
# nothing), import of a new name (saved, tower files untouched), failures.
# Usage: cli.sh CLI
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC

fail() { echo "FAIL: $*"; exit 1; }

folder=$work/data/System1A4
mkdir -p "$folder"
printf '[System]\r\nSystemID=420\r\nSystemIDHEX=1A4\r\nWACN=BEE00\r\nDescription=County\r\nFlavor=Phase 1\r\n' \
    > "$folder/System.ini"
printf 'FileVersion:7\r\n100,7,"Fire",1700000000,"x",1600000000,"x","#FF0000","#000000","Y",3,1\r\n200,50,"Police",1700000000,"x",0,"Unknown","#000000","#000000","N",4,0\r\n' \
    > "$folder/TalkGroups.txt"
printf 'FileVersion:4\r\n7001,"Engine 1",1700000000,"x","#000000","#000000"\r\n' > "$folder/Radios.txt"
printf 'FileVersion:8\r\n-TowerInfo\r\nCall Sign(s)          : WXYZ123\r\n' > "$folder/Tower001001.txt"
cp -r "$folder" "$work/before"
names() { "$cli" names "$@" --data-dir "$work/data" --system 1A4; }

names export --talkgroups "$work/tg.csv" > "$work/out" 2>&1 || fail "export: $(cat "$work/out")"
expected=$(printf 'Zembrant Talkgroup,Description,LastSeen,Priority,FirstSeen,EncSeen,EmrgIgnore,Hits,TextColor,BackColor\r\n100,Fire,1700000000,7,1600000000,1,1,3,#FF0000,#000000\r\n200,Police,1700000000,50,0,0,0,4,#000000,#000000\r')
[ "$(cat "$work/tg.csv")" = "$expected" ] || fail "export wrote: $(cat "$work/tg.csv")"

names import --talkgroups "$work/tg.csv" --choice all > "$work/out" 2>&1 || fail "import: $(cat "$work/out")"
[ "$(cat "$work/out")" = "Added 0, replaced 0, kept 2, refused 0." ] || fail "import said: $(cat "$work/out")"
diff -r "$work/before" "$folder" > /dev/null || fail "an import of the export changed the folder"

printf 'id,name\n300,Water\nx,Bad\n' > "$work/plain.csv"
names import --talkgroups "$work/plain.csv" > "$work/out" 2>&1 || fail "plain import: $(cat "$work/out")"
[ "$(cat "$work/out")" = "$(printf 'Added 1, replaced 0, kept 0, refused 1 (line 3).\nline 3: talkgroup "x" is not a whole number from 1 to 65535')" ] ||
    fail "plain import said: $(cat "$work/out")"
grep -q '^300,50,"Water",' "$folder/TalkGroups.txt" || fail "300 not saved: $(cat "$folder/TalkGroups.txt")"
grep -q '^100,7,"Fire",1700000000,' "$folder/TalkGroups.txt" || fail "100 changed: $(cat "$folder/TalkGroups.txt")"
[ "$(ls "$folder" | grep -c '^Tower')" = 1 ] || fail "tower files: $(ls "$folder")"
cmp -s "$work/before/Tower001001.txt" "$folder/Tower001001.txt" || fail "the tower file changed"

names export --radios "$work/radios.csv" --format plain > "$work/out" 2>&1 || fail "radio export: $(cat "$work/out")"
[ "$(cat "$work/radios.csv")" = "$(printf 'id,name\r\n7001,Engine 1\r')" ] || fail "radios: $(cat "$work/radios.csv")"

names import --radios "$work/tg.csv" > "$work/out" 2>&1
[ $? = 1 ] || fail "a talkgroup file as radios did not fail"
[ "$(cat "$work/out")" = "zembrant-cli: $work/tg.csv: it holds talkgroups, not radios" ] || fail "said: $(cat "$work/out")"
names import --radios "$work/radios.csv" --format talkgroups > /dev/null 2>&1
[ $? = 2 ] || fail "--format talkgroups with --radios is no wrong argument"
"$cli" names export --system 1A4 > /dev/null 2>&1
[ $? = 2 ] || fail "export without a file is no wrong argument"
echo PASS
