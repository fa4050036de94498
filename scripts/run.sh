#!/usr/bin/env bash
# Installs what is missing, builds, and starts veltrip on a simulated GPS
# receiver (veltrip-sim on a pseudo-terminal). Arguments go to veltrip-sim,
# e.g. "--replay capture.nmea --rate 4".
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh normal

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are unset); run it on a virtual one instead: xvfb-run -a bash scripts/run.sh" >&2
    exit 1
fi

mkdir -p "${VELTRIP_STORAGE_CARD:-$HOME/Storage card}/GPS"
if [ -n "${XDG_RUNTIME_DIR:-}" ] && [ -d "$XDG_RUNTIME_DIR" ]; then
    link="$XDG_RUNTIME_DIR/veltrip-sim"
else
    link="/tmp/veltrip-sim-$(id -u)"
fi

build/tools/veltrip-sim --link "$link" "$@" >/dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    [ -e "$link" ] && break
    sleep 0.1
done

# The port is for this run only; the stored settings stay as they are.
build/app/veltrip --port "$link" --baud 9600
