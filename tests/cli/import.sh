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
site() {
    printf '<item><siteNumber xsi:type="xsd:int">%s</siteNumber><siteDescr xsi:type="xsd:string">%s</siteDescr>' "$1" "$2"
    printf '<rfss xsi:type="xsd:int">%s</rfss></item>' "$3"
}
group() {
    printf '<item><tgDec xsi:type="xsd:int">%s</tgDec><tgDescr xsi:type="xsd:string">%s</tgDescr>' "$1" "$2"
    printf '<tgAlpha xsi:type="xsd:string">%s</tgAlpha></item>' "$3"
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
*)
    fail "unknown test $test"
    ;;
esac
echo "PASS: $test"
