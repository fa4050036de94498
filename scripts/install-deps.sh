#!/usr/bin/env bash
# Installs what building, running and testing veltrip needs on Debian 12.
set -euo pipefail

PACKAGES=(cmake ninja-build g++ clang libclang-rt-dev googletest libgtest-dev
          libbenchmark-dev qt6-base-dev fonts-dejavu-core xvfb xauth
          librsvg2-bin dpkg-dev file desktop-file-utils appstream lintian man-db)
# GPX files written by GPSBabel, read back by the track import tests.
PACKAGES+=(gpsbabel)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
