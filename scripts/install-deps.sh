#!/usr/bin/env bash
# Installs what building, running and testing veltrip needs on Debian 12.
set -euo pipefail

PACKAGES=(cmake ninja-build g++ clang libclang-rt-dev googletest libgtest-dev
          libbenchmark-dev qt6-base-dev fonts-dejavu-core fonts-liberation2 locales xvfb xauth
          librsvg2-bin dpkg-dev file desktop-file-utils appstream lintian man-db gpsd)
# expat reads GPX and KML tracks.
PACKAGES+=(libexpat1-dev)
# GPX files written by GPSBabel, read back by the track import tests; it and
# gpsdecode are the peers the benchmarks run beside the tools.
PACKAGES+=(gpsbabel gpsd-clients)
# GDAL reads the maps that map-import turns into calibrated bitmaps; the tests
# make their GeoTIFF, MBTiles and PNG maps through its library as well.
PACKAGES+=(libgdal-dev)
# The desktop entry and the GPD MIME type are checked as a desktop reads them:
# xdg-mime (its generic lookup runs mimetype) over shared-mime-info's database.
PACKAGES+=(xdg-utils libfile-mimeinfo-perl shared-mime-info)
# gdalwarp, the peer the map import benchmark runs beside map-import.
PACKAGES+=(gdal-bin)
# The modem port talks to ModemManager through Qt D-Bus; its tests run a
# ModemManager stand-in (python3-dbusmock) on a private bus (dbus-daemon).
PACKAGES+=(dbus python3-dbusmock)

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
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
fi

# A locale with a decimal comma, under which the tests check that every
# number keeps its decimal point.
if ! locale -a 2>/dev/null | grep -x 'de_DE.utf8' >/dev/null; then
    echo "Generating the locale de_DE.UTF-8"
    $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
