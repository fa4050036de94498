#!/usr/bin/env bash
# Installs what building, running and testing veltrip needs on Debian 12.
set -euo pipefail

PACKAGES=(cmake ninja-build g++ clang libclang-rt-dev googletest libgtest-dev
          libbenchmark-dev qt6-base-dev fonts-dejavu-core xvfb xauth gpsd)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq

# Debian's gpsd would start a system daemon on port 2947 at once and at every
# boot; veltrip's tests run their own gpsd on free ports, and a user who wants
# the system's sets it up (README). A gpsd installed here stays stopped.
installing_gpsd=0
[[ " ${missing[*]} " == *" gpsd "* ]] && installing_gpsd=1
if [ "$installing_gpsd" -eq 1 ] && [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
    $SUDO chmod +x /usr/sbin/policy-rc.d
    trap '$SUDO rm -f /usr/sbin/policy-rc.d' EXIT
fi
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
if [ "$installing_gpsd" -eq 1 ] && [ -d /run/systemd/system ]; then
    $SUDO systemctl disable --now gpsd.socket gpsd.service >/dev/null 2>&1 || true
fi
