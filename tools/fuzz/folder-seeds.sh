#!/bin/sh
# Packs each system folder of the tests into one system_folder_fuzzer input: three
# little-endian 16-bit lengths, then System.ini, TalkGroups.txt, Radios.txt and the tower file.
set -eu
corpus=${1:?usage: folder-seeds.sh <corpus folder>}
here=$(dirname "$0")
mkdir -p "$corpus"
le16() { printf "\\$(printf %03o $(($1 % 256)))\\$(printf %03o $(($1 / 256)))"; }
size() { if [ -f "$1" ]; then wc -c < "$1"; else echo 0; fi; }
for folder in "$here"/../../tests/data/SystemFolders/System*; do
    tower=$(ls "$folder"/Tower*.txt | head -n 1)
    {
        le16 "$(size "$folder/System.ini")"
        le16 "$(size "$folder/TalkGroups.txt")"
        le16 "$(size "$folder/Radios.txt")"
        cat "$folder/System.ini" "$folder/TalkGroups.txt" "$folder/Radios.txt" "$tower"
    } > "$corpus/$(basename "$folder")"
done
