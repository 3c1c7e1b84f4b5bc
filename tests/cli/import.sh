#!/usr/bin/env bash
# End-to-end checks of zembrant-cli import against a stand-in directory service on 127.0.0.1.
# Usage: import.sh CLI SERVER TEST
set -u
cli=$1
server=$2
test=$3
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
export TZ=UTC

fail() { echo "FAIL: $*"; exit 1; }

# Service answers as the directory service writes them.
envelope() {
    printf '%s' '<?xml version="1.0" encoding="UTF-8"?>'
    printf '%s' '<SOAP-ENV:Envelope xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/"'
    printf '%s' ' xmlns:ns1="http://api.radioreference.com/soap2" xmlns:xsd="http://www.w3.org/2001/XMLSchema"'
    printf '%s' ' xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"'
    printf '%s' ' xmlns:SOAP-ENC="http://schemas.xmlsoap.org/soap/encoding/"><SOAP-ENV:Body>'
    printf '%s' "$1</SOAP-ENV:Body></SOAP-ENV:Envelope>"
}
answer() { envelope "<ns1:$1Response><return xsi:type=\"SOAP-ENC:Array\">$2</return></ns1:$1Response>" > "$work/answers/$1.xml"; }
system() {
    printf '<item><sid xsi:type="xsd:int">%s</sid><sName xsi:type="xsd:string">%s</sName>' "$1" "$2"
    printf '<sCity xsi:type="xsd:string">%s</sCity></item>' "$3"
}
# site NUMBER DESCRIPTION RFSS [FREQ USE]...
site() {
    printf '<item><siteNumber xsi:type="xsd:int">%s</siteNumber><siteDescr xsi:type="xsd:string">%s</siteDescr>' "$1" "$2"
    printf '<rfss xsi:type="xsd:int">%s</rfss><siteFreqs xsi:type="SOAP-ENC:Array">' "$3"
    shift 3
    while [ $# -ge 2 ]; do
        printf '<item><freq xsi:type="xsd:decimal">%s</freq><use xsi:type="xsd:string">%s</use></item>' "$1" "$2"
        shift 2
    done
    printf '</siteFreqs></item>'
}
# group DECIMAL DESCRIPTION ALPHA [MODE]
group() {
    printf '<item><tgDec xsi:type="xsd:int">%s</tgDec><tgDescr xsi:type="xsd:string">%s</tgDescr>' "$1" "$2"
    printf '<tgAlpha xsi:type="xsd:string">%s</tgAlpha><tgMode xsi:type="xsd:string">%s</tgMode></item>' "$3" "${4:-D}"
}

# A known system 1A4 with a default and a typed talkgroup name, a named site and a tower
# file; the service's stand-in and a configuration that points at it.
mkdir -p "$work/answers" "$work/data/System1A4"
folder=$work/data/System1A4
printf '[System]\r\nSystemID=420\r\nSystemIDHEX=1A4\r\nWACN=BEE00\r\nDescription=\r\nFlavor=Phase 2\r\n[Towers]\r\n001002=Hilltop\r\n' \
    > "$folder/System.ini"
printf 'FileVersion:7\r\n100,50,"T: 1-2",1700000000,"x",0,"Unknown","#000000","#FFFFFF","N",3,1\r\n200,50,"Typed",1700000000,"x",0,"Unknown","#000000","#FFFFFF","N",4,0\r\n' \
    > "$folder/TalkGroups.txt"
printf 'FileVersion:8\r\n-TowerInfo\r\nCall Sign(s)          : WXYZ123\r\n' > "$folder/Tower001001.txt"
cp "$folder/Tower001001.txt" "$work/tower.before"
"$server" "$work/answers" > "$work/port" &
for _ in $(seq 50); do
    port=$(head -n 1 "$work/port" 2>/dev/null)
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || fail "the service's stand-in printed no port"
# "str" is the stored form of the password "abc".
printf '[RRWebService]\r\nEnabled=Yes\r\nUserName=scanner\r\nPassword=str\r\nWebTimeOut=50\r\nEndpoint=http://127.0.0.1:%s/soap2/index.php\r\n[Proxy]\r\nType=2\r\n' \
    "$port" > "$work/data/Zembrant.ini"
cp "$work/data/Zembrant.ini" "$work/config.before"
answer getTrsSites "$(site 2 'North Ridge' 1)$(site 1005 'Ten Five' 0)"
answer getTrsTalkgroups "$(group 100 'Fire Dispatch Main' 'Fire Disp')$(group 200 'Other' 'Not Taken')$(group 300 'Roads' '')$(group 400 '' '')"

import() { "$cli" import --system 1A4 --data-dir "$work/data" "$@" > "$work/out" 2> "$work/err"; }

case $test in
import_names)
    answer getTrsBySysid "$(system 3 'Metro Area' 'Springfield')"
    import --talkgroups default || fail "import exits $?: $(cat "$work/err")"
    [ ! -s "$work/err" ] || fail "messages: $(cat "$work/err")"
    [ "$(cat "$work/out")" = "Imported the names of system 1A4 into $folder/" ] || fail "output: $(cat "$work/out")"
    ini=$(tr -d '\r' < "$folder/System.ini")
    for line in "Description=Metro Area" "WACN=BEE00" "Flavor=Phase 2" "001002=Hilltop" "010005=Ten Five"; do
        grep -qx "$line" <<< "$ini" || fail "System.ini lacks $line"
    done
    grep -q 'North Ridge' <<< "$ini" && fail "a named site was renamed"
    groups=$(tr -d '\r' < "$folder/TalkGroups.txt" | cut -d, -f1,3 | grep -v '^#\|^FileVersion')
    [ "$groups" = $'100,"Fire Disp"\n200,"Typed"\n300,"Roads"' ] || fail "talkgroups: $groups"
    # Importing clears the emergency-ignore mark.
    tr -d '\r' < "$folder/TalkGroups.txt" | grep -q '^100,.*,0$' || fail "the emergency-ignore mark stays"
    cmp -s "$work/tower.before" "$folder/Tower001001.txt" || fail "the tower file changed"
    [ "$(ls "$folder" | grep -c '^Tower')" = 1 ] || fail "tower files: $(ls "$folder")"
    cmp -s "$work/config.before" "$work/data/Zembrant.ini" || fail "the configuration file was written"
    log=$(cat "$work/answers/requests.log")
    grep -q '"http://api.radioreference.com/soap2#getTrsBySysid"' <<< "$log" || fail "SOAPAction"
    grep -q '<sysid xsi:type="xsd:string">1A4</sysid>' <<< "$log" || fail "the system ID sent: $log"
    grep -q '<password xsi:type="xsd:string">abc</password>' <<< "$log" || fail "the password sent"
    grep -q '<sid xsi:type="xsd:int">3</sid>' <<< "$log" || fail "the chosen system's sites"

    # A folder that names no site: the site the import borrows to load it is never listed.
    mkdir "$work/data/System2B5"
    printf '[System]\r\nSystemID=693\r\n' > "$work/data/System2B5/System.ini"
    towers() { tr -d '\r' < "$work/data/System2B5/System.ini" | sed -n '/^\[Towers\]/,/^\[/{/^[0-9]/p}'; }
    for sites in "" "$(site 2 'North Ridge' 1)"; do
        answer getTrsSites "$sites"
        "$cli" import --system 2B5 --data-dir "$work/data" > /dev/null 2> "$work/err" ||
            fail "import into a folder without a site exits $?: $(cat "$work/err")"
    done
    [ "$(towers)" = "001002=North Ridge" ] || fail "towers: $(towers)"
    ls "$work/data/System2B5" | grep -q '^Tower' && fail "tower files: $(ls "$work/data/System2B5")"
    ;;
import_fault)
    envelope '<SOAP-ENV:Fault><faultcode>SOAP-ENV:Server</faultcode><faultstring>Invalid Username or Password</faultstring></SOAP-ENV:Fault>' \
        > "$work/answers/getTrsBySysid.xml"
    echo 500 > "$work/answers/getTrsBySysid.status"
    import
    [ $? -eq 1 ] || fail "a fault should exit 1"
    expected="zembrant-cli: Invalid Username or Password
The User name or Password set in the configuration screen
is invalid.  Please check these settings and try the import
from the Radio Reference Web Service again.

Note: A premium subscription from the RadioReference web site
is required to use this feature."
    [ "$(cat "$work/err")" = "$expected" ] || fail "message: $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "output after a fault"
    grep -q '^Description=$' <(tr -d '\r' < "$folder/System.ini") || fail "a name was stored"

    # No service at all: the connection message.
    kill %1
    wait %1 2> /dev/null
    import
    [ $? -eq 1 ] || fail "a missing service should exit 1"
    expected="zembrant-cli: RadioReference CD-ROM Import Error
Zembrant was unable to connect to the local web server on
the RadioReference CD-ROM. Please ensure that the CD-ROM
has been placed in the CD-ROM drive on your computer, and the
local web server has been started."
    [ "$(cat "$work/err")" = "$expected" ] || fail "connection message: $(cat "$work/err")"
    ;;
import_choice)
    answer getTrsBySysid "$(system 3 'Metro Area' 'Springfield')$(system 7 'County' 'Shelbyville')"
    import
    [ $? -eq 1 ] || fail "an unchosen system should exit 1"
    [ "$(cat "$work/out")" = $'RRID\tSystem Name\tCity\n3\tMetro Area\tSpringfield\n7\tCounty\tShelbyville' ] ||
        fail "list: $(cat "$work/out")"
    [ "$(cat "$work/err")" = "zembrant-cli: several systems have system ID 1A4; choose one with --choose RRID:" ] ||
        fail "message: $(cat "$work/err")"
    grep -q 'getTrsSites' "$work/answers/requests.log" && fail "sites were asked for without a choice"
    grep -q '^Description=$' <(tr -d '\r' < "$folder/System.ini") || fail "a name was stored without a choice"

    import --choose 8
    [ $? -eq 1 ] || fail "an unknown RRID should exit 1"
    head -n 1 "$work/err" | grep -qx "zembrant-cli: no system with RRID 8 has system ID 1A4; these have:" ||
        fail "unknown RRID: $(cat "$work/err")"

    import --choose 7 --sites none --talkgroups all || fail "the chosen system exits $?: $(cat "$work/err")"
    grep -qx 'Description=County' <(tr -d '\r' < "$folder/System.ini") || fail "the chosen system's name"
    grep -q '<sid xsi:type="xsd:int">7</sid>' "$work/answers/requests.log" || fail "the chosen system's talkgroups"
    grep -q 'getTrsSites' "$work/answers/requests.log" && fail "sites were asked for with --sites none"
    tr -d '\r' < "$folder/TalkGroups.txt" | grep -q '^200,50,"Not Taken"' || fail "--talkgroups all keeps a name"
    ;;
import_usage)
    "$cli" --help | grep -q "zembrant-cli import --system SYSID --data-dir DIR" || fail "help"
    for args in "import" "import --system 1A4" "import --system 0 --data-dir d" "import --system 1000 --data-dir d" \
                "import --system 1A4 --data-dir d --sites some" "import --system 1A4 --data-dir d --talkgroups x" \
                "import --system 1A4 --data-dir d --sites none --talkgroups none" "replay x --choose 3" \
                "import --system 1A4 --data-dir d --choose x"; do
        "$cli" $args > /dev/null 2> "$work/err"
        [ $? -eq 2 ] || fail "'$args' should exit 2"
        grep -q "^zembrant-cli: " "$work/err" || fail "'$args' gives no message"
    done
    "$cli" import --system 2B5 --data-dir "$work/data" 2> "$work/err"
    [ $? -eq 1 ] || fail "a missing folder should exit 1"
    [ "$(cat "$work/err")" = "zembrant-cli: no system folder $work/data/System2B5/" ] || fail "$(cat "$work/err")"
    printf '[RRWebService]\r\nEnabled=No\r\n' > "$work/off.ini"
    import --config "$work/off.ini"
    [ $? -eq 1 ] || fail "a disabled service should exit 1"
    [ "$(cat "$work/err")" = "zembrant-cli: RR Service not enabled
RadioReference Web Service must be configured and enabled in the configuration menu" ] || fail "$(cat "$work/err")"
    ;;
reconcile)
    answer getTrsBySysid "$(system 3 'Metro Area' 'Springfield')"
    "$cli" reconcile --system 1A4 --data-dir "$work/data" > "$work/out" 2> "$work/err"
    [ $? -eq 1 ] || fail "reconcile before an import should exit 1"
    [ "$(cat "$work/err")" = "zembrant-cli: No directory import yet for system 1A4: import it first (System > Import System Information from Radio Reference, or zembrant-cli import --system 1A4)" ] ||
        fail "no import: $(cat "$work/err")"
    # Site 1-1 was monitored: its control channel, an alternate and a neighbour 1-2.
    printf 'FileVersion:8\r\n-TowerInfo\r\nCall Sign(s)          : WXYZ123\r\n-Tables\r\n01,851.00000,0.01250,-45.00000,"Confirmed",0.01250,1\r\n-Frequencies\r\n"01-0001","c",851.01250,"01-0001",806.01250,0,7\r\n"01-0002","a",851.02500,"01-0002",806.02500,0,0\r\n-Neighbors\r\n102,"T0102",1a4,"01-0004",851.05000,"Hilltop"\r\n103,"T0103",2b5,"01-0005",851.06250,"Unknown (Different System)"\r\n' \
        > "$folder/Tower001001.txt"
    printf '250,50,"Bus",1700000000,"x",0,"Unknown","#000000","#FFFFFF","Y",2,0\r\n' >> "$folder/TalkGroups.txt"
    answer getTrsSites "$(site 1 'Main' 1 851.0125 c 851.0375 a)$(site 3 'East' 1)"
    answer getTrsTalkgroups "$(group 100 'Fire Dispatch Main' 'Fire Disp' DE)$(group 200 'Other' 'Not Taken')$(group 300 'Roads' '')"
    import || fail "import exits $?: $(cat "$work/err")"
    json=$(cat "$folder/Directory.json")
    grep -q '"frequency": 851.0375' <<< "$json" || fail "Directory.json lacks a frequency: $json"
    grep -q '"use": "alternate"' <<< "$json" || fail "Directory.json lacks a use: $json"
    grep -q '"mode": "DE"' <<< "$json" || fail "Directory.json lacks a mode: $json"
    # The talkgroups were last heard in 2023: only one never heard at all is listed.
    "$cli" reconcile --system 1A4 --data-dir "$work/data" --days 36500 > "$work/out" 2> "$work/err" ||
        fail "reconcile exits $?: $(cat "$work/err")"
    [ ! -s "$work/err" ] || fail "messages: $(cat "$work/err")"
    expected=$(cat <<'TABLE'
Kind                            What                       On the air                               In the directory    Details
Not in the directory            Talkgroup 250              2 hits, last seen 11/14/2023 22:13:20                        Bus
Never heard                     Talkgroup 300              Never heard                              Roads, Mode D
Listed encrypted, heard clear   Talkgroup 100              Only clear calls, 3 hits                 Fire Disp, Mode DE
Site not in the directory       Site 1-2                   Announced as a neighbour, 851.05000 MHz
Site never seen                 Site 1-3                                                            East
Frequency not in the directory  851.02500 MHz at site 1-1  Alternate                                                    Main
Frequency never seen            851.03750 MHz at site 1-1                                           alternate           Main
TABLE
)
    [ "$(cat "$work/out")" = "$expected" ] || fail "report: $(cat "$work/out")"
    "$cli" reconcile --system 1A4 --data-dir "$work/data" --csv "$work/r.csv" --json "$work/r.json" --days 5 > "$work/out" ||
        fail "reconcile to files exits $?"
    [ ! -s "$work/out" ] || fail "output beside the files: $(cat "$work/out")"
    [ "$(head -n 2 "$work/r.csv" | tr -d '\r')" = $'"Kind","What","On the air","In the directory","Details"\n"Not in the directory","Talkgroup 250","2 hits, last seen 11/14/2023 22:13:20","","Bus"' ] ||
        fail "csv: $(cat "$work/r.csv")"
    grep -q '"Kind": "Site never seen"' "$work/r.json" || fail "json: $(cat "$work/r.json")"

    printf '{"format": 1, "system": {"sysid": "1A4"}, "sites": 3}' > "$folder/Directory.json"
    "$cli" reconcile --system 1A4 --data-dir "$work/data" > /dev/null 2> "$work/err"
    [ $? -eq 1 ] || fail "a damaged Directory.json should exit 1"
    [ "$(cat "$work/err")" = "zembrant-cli: $folder/Directory.json cannot be read: \"sites\" is not a list. Import the system again to replace it." ] ||
        fail "damaged: $(cat "$work/err")"
    for args in "" "--system 1A4 --days 0" "--system 1A4 --days x" "--system 1000" "--system 1A4 --csv"; do
        "$cli" reconcile $args > /dev/null 2> "$work/err"
        [ $? -eq 2 ] || fail "'reconcile $args' should exit 2"
    done
    ;;
*)
    fail "unknown test $test"
    ;;
esac
echo "PASS: $test"
