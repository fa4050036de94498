#!/usr/bin/env bash
# Takes the README's pictures of the five views, the sky plot and the profile: veltrip
# driven by veltrip-sim under Xvfb, with a drawn street map of the
# simulator's town on the storage card. Needs xvfb, xdotool and imagemagick and a normal build (BUILD, default
# build/). Writes docs/screenshots/*.png.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BUILD:-$root/build}
out=$root/docs/screenshots
for tool in xvfb-run xdotool import convert; do
    command -v "$tool" >/dev/null || { echo "screenshots.sh: $tool is missing (apt-get install xvfb xdotool imagemagick)" >&2; exit 1; }
done

work=$(mktemp -d)
sim=
cleanup() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$work/config"
export VELTRIP_STORAGE_CARD="$work/Storage card"
mkdir -p "$VELTRIP_STORAGE_CARD/GPS" "$out"

# 5°06'-5°09' E, 52°04'-52°07' N at about 5 m a pixel: blocks of houses,
# main roads, a canal and a park, enough to read the track against.
draw=()
for y in $(seq 0 60 1110); do
    for x in $(seq 0 70 700); do
        draw+=(-draw "rectangle $((x + 7)),$((y + 7)) $((x + 63)),$((y + 53))")
    done
done
convert -size 700x1110 xc:'#ffffff' \
    -fill '#e6dccb' -stroke '#c9bca6' -strokewidth 1 "${draw[@]}" \
    -fill '#c8e3b0' -stroke none -draw 'rectangle 420,200 620,420' \
    -stroke '#f4c36a' -strokewidth 6 -draw 'line 0,640 700,560' -draw 'line 300,0 360,1110' \
    -stroke '#9cc8e8' -strokewidth 14 -fill none -draw 'bezier 0,300 250,380 150,800 700,900' \
    -type TrueColor BMP3:"$VELTRIP_STORAGE_CARD/GPS/X5G6M_5G9MY52G4M_52G7M.bmp"

link="$work/gps"
"$build/tools/veltrip-sim" --link "$link" >/dev/null &
sim=$!
for _ in $(seq 50); do
    [ -e "$link" ] && break
    sleep 0.1
done

cat > "$work/session.sh" <<'SESSION'
set -euo pipefail
"$1/app/veltrip" --port "$2" &
app=$!
trap 'kill "$app" 2>/dev/null || true' EXIT
wnd=
for _ in $(seq 100); do
    wnd=$(xdotool search --name '^veltrip$' 2>/dev/null | head -1) && [ -n "$wnd" ] && break
    sleep 0.1
done
out=$3
shot() { sleep 2.5; import -window "$wnd" "$out/$1.png"; }
tap() { xdotool mousemove --window "$wnd" 120 150 click 1; }
# Let the simulated drive lay down a track first.
sleep "${VELTRIP_SHOT_DELAY:-100}"
shot gps-data
tap; shot compass
tap; shot track
tap; shot gps-status
# Tools, Load map: the catalogue map holds the position, so no dialog.
eval "$(xdotool getwindowgeometry --shell "$wnd")"
xdotool mousemove --window "$wnd" $((WIDTH - 20)) $((HEIGHT - 12)) click 1
sleep 0.5
# Load map is the third item from the end of Tools.
xdotool key Up Right Up Up Up Return
# Taps in the top band zoom out, 0.1 each, so that more of the track shows.
sleep 1
for _ in $(seq 8); do
    xdotool mousemove --window "$wnd" 200 10 click 1
    sleep 0.2
done
shot map
# View, Satellites and View, Profile (the last two of View): windows of their own.
own() {
    xdotool mousemove --window "$wnd" $((WIDTH - 20)) $((HEIGHT - 12)) click 1
    sleep 0.5
    xdotool key Down Down Right $2 Return
    sleep 2.5
    import -window "$(xdotool search --name "^$1\$" | head -1)" "$out/$3.png"
}
own Satellites "Up Up" satellites
own Profile Up profile
SESSION
xvfb-run -a -s "-screen 0 640x480x24" bash "$work/session.sh" "$build" "$link" "$out"
ls "$out"
