#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
set -euo pipefail

# The window and its tests: qt6-qpa-plugins is only recommended by qt6-base-dev, and
# without it neither the offscreen nor the X11 platform exists. The transport's tests make
# their TLS certificates with the openssl command. The live events publish through
# libmosquitto; their tests start a real mosquitto broker and read it with mosquitto_sub.
# The history is SQLite; its tests read the databases with the sqlite3 shell too.
packages=(cmake make g++ libgtest-dev libgmock-dev libbenchmark-dev tzdata nlohmann-json3-dev libpugixml-dev
          qt6-base-dev qt6-qpa-plugins libgl-dev fonts-dejavu-core xvfb xauth imagemagick openssl
          libmosquitto-dev mosquitto mosquitto-clients libsqlite3-dev sqlite3)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
