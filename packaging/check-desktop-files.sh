#!/usr/bin/env bash
# Checks the desktop entry and the MIME types as a desktop would read them:
#   - desktop-file-validate reports no error or warning;
#   - the entry opens files (%F) of the three track types;
#   - with the MIME file installed in a temporary XDG_DATA_HOME (as the
#     package installs it in /usr/share/mime/packages), xdg-mime names each
#     track file's type, a GPD file by its suffix and by its signature, and
#     names veltrip's entry as the application for each type.
# usage: check-desktop-files.sh DESKTOP-FILE MIME-XML
set -uo pipefail
desktop=$1 mimexml=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for tool in desktop-file-validate update-mime-database update-desktop-database xdg-mime; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"; exit 0; }
done

out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
if grep -qiE 'error|warning' <<<"$out"; then fail "desktop-file-validate: $out"; fi
grep -qx 'Exec=veltrip %F' "$desktop" || fail "the entry does not open files: $(grep '^Exec=' "$desktop")"

types=(application/gpx+xml application/vnd.google-earth.kml+xml application/x-veltrip-gpd)
mimetypes=$(sed -n 's/^MimeType=//p' "$desktop")
for type in "${types[@]}"; do
    tr ';' '\n' <<<"$mimetypes" | grep -qx "$type" || fail "MimeType= lacks $type"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/share XDG_CONFIG_HOME=$work/config
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID
mkdir -p "$XDG_DATA_HOME/mime/packages" "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME"
cp "$mimexml" "$XDG_DATA_HOME/mime/packages/veltrip.xml"
update-mime-database "$XDG_DATA_HOME/mime" || fail "update-mime-database"
cp "$desktop" "$XDG_DATA_HOME/applications/veltrip.desktop"
update-desktop-database "$XDG_DATA_HOME/applications" || fail "update-desktop-database"

# A GPD file without points: the signature and a count of 0.
printf 'GPD\r\n\032\0\0\0\0' >"$work/track.gpd"
cp "$work/track.gpd" "$work/track-without-suffix"
printf '<?xml version="1.0"?>\n<gpx version="1.1" creator="t" xmlns="http://www.topografix.com/GPX/1/1"></gpx>\n' >"$work/track.gpx"
printf '<?xml version="1.0"?>\n<kml xmlns="http://www.opengis.net/kml/2.2"><Document/></kml>\n' >"$work/track.kml"
check_type() {
    local got
    got=$(xdg-mime query filetype "$work/$1" 2>&1)
    [ "${got%%;*}" = "$2" ] || fail "xdg-mime query filetype $1: '$got', not $2"
}
check_type track.gpd application/x-veltrip-gpd
check_type track-without-suffix application/x-veltrip-gpd
check_type track.gpx application/gpx+xml
check_type track.kml application/vnd.google-earth.kml+xml
for type in "${types[@]}"; do
    got=$(xdg-mime query default "$type" 2>&1)
    [ "$got" = veltrip.desktop ] || fail "xdg-mime query default $type: '$got', not veltrip.desktop"
done

[ "$failures" -eq 0 ] || { echo "desktop files: $failures failed"; exit 1; }
echo "desktop entry and MIME types: passed"
