#!/usr/bin/env bash
# Builds the Debian package and checks it as a distribution would and as a
# user installing it would see it:
#   - desktop-file-validate and appstreamcli validate report no error or warning;
#   - the desktop entry opens GPX, KML and GPD tracks, whose types xdg-mime
#     finds with the package's MIME file (packaging/check-desktop-files.sh);
#   - lintian reports no error;
#   - the icon is in the hicolor theme in every size, and the manual pages
#     render without a warning;
#   - unpacked into a temporary root, the programs answer --help from there,
#     hold no path of the source or build tree, and veltrip records from
#     veltrip-sim as it does from the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD

bash scripts/package.sh >/dev/null
deb=$(ls build/veltrip_*.deb)
echo "package: $deb ($(stat -c %s "$deb") bytes)"
echo "depends: $(dpkg-deb -f "$deb" Depends)"

work=$(mktemp -d)
sim='' app=''
cleanup() {
    if [ -n "$app" ]; then kill "$app" 2>/dev/null || true; fi
    if [ -n "$sim" ]; then kill "$sim" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
root=$work/root
dpkg-deb -x "$deb" "$root"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

echo "-- desktop entry and AppStream metadata"
desktop=$root/usr/share/applications/veltrip.desktop
metainfo=$(ls "$root"/usr/share/metainfo/*.metainfo.xml)
out=$(desktop-file-validate "$desktop" 2>&1) || true
[ -n "$out" ] && echo "$out"
if grep -qiE 'error|warning' <<<"$out"; then fail "desktop-file-validate"; fi
mimexml=$root/usr/share/mime/packages/veltrip.xml
[ -f "$mimexml" ] || fail "no MIME type file for GPD tracks"
bash packaging/check-desktop-files.sh "$desktop" "$mimexml" || fail "desktop entry and MIME types"
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate"
echo "$out"
if grep -qE '^ *[EW]:' <<<"$out"; then fail "appstreamcli validate: errors or warnings"; fi
out=$(appstreamcli validate-tree --no-net "$root" 2>&1) || { echo "$out"; fail "appstreamcli validate-tree"; }
if grep -qE '^ *[EW]:' <<<"$out"; then echo "$out"; fail "appstreamcli validate-tree: errors or warnings"; fi
[ -f "$root/usr/share/icons/hicolor/scalable/apps/veltrip.svg" ] || fail "no scalable icon"
for size in 16 22 24 32 48 64 128 256; do
    png=$root/usr/share/icons/hicolor/${size}x${size}/apps/veltrip.png
    file -b "$png" 2>/dev/null | grep -q "PNG image data, $size x $size," || fail "icon $size x $size missing or of another size"
done

echo "-- lintian"
out=$(lintian "$deb" 2>&1 | grep -v 'running with root privileges' || true)
[ -n "$out" ] && echo "$out"
if grep -q '^E:' <<<"$out"; then fail "lintian reports errors"; fi

echo "-- manual pages"
for page in "$root"/usr/share/man/man1/*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
for page in veltrip veltrip-cli veltrip-sim; do
    [ -f "$root/usr/share/man/man1/$page.1.gz" ] || fail "no manual page $page(1)"
done

echo "-- the programs from the unpacked package"
cd "$work"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work XDG_CONFIG_HOME=$work/config
export VELTRIP_STORAGE_CARD="$work/Storage card"
for program in veltrip-cli veltrip-sim veltrip; do
    help=$("$root/usr/bin/$program" --help 2>&1) || fail "$program --help ended with an error"
    grep -q "^usage: $program" <<<"$help" || fail "$program --help: $help"
    # A path into the checkout would make the installed program depend on it.
    if grep -qaF -e "$src/" -e "$src/build" "$root/usr/bin/$program"; then
        fail "$program holds a path of the source tree"
    fi
done
# veltrip on veltrip-sim, both installed, stores points into a log, and at
# SIGTERM ends it with its KML copy.
mkdir -p "$VELTRIP_STORAGE_CARD/GPS"
"$root/usr/bin/veltrip-sim" --link "$work/gps" >/dev/null 2>"$work/sim.out" &
sim=$!
for _ in $(seq 50); do [ -e "$work/gps" ] && break; sleep 0.1; done
"$root/usr/bin/veltrip" --port "$work/gps" --baud 9600 >"$work/veltrip.out" 2>&1 &
app=$!
for _ in $(seq 150); do
    compgen -G "$VELTRIP_STORAGE_CARD/GPS/GPSLog_*.gpd" >/dev/null && break
    sleep 0.1
done
sleep 1
kill -TERM "$app"
status=0
wait "$app" || status=$?
app=
[ "$status" -eq 0 ] || { cat "$work/veltrip.out"; fail "installed veltrip ended with $status"; }
compgen -G "$VELTRIP_STORAGE_CARD/GPS/GPSLog_*.kml" >/dev/null \
    || { cat "$work/veltrip.out"; fail "installed veltrip wrote no log with its KML copy"; }
# The views paint without the source tree, where the command line can show it.
if grep -q '^  render ' <<<"$("$root/usr/bin/veltrip-cli" --help)"; then
    if ! "$root/usr/bin/veltrip-cli" render data --png "$work/data.png" \
        || ! file -b "$work/data.png" | grep -q '^PNG image data'; then
        fail "installed veltrip-cli render"
    fi
fi

[ "$failures" -eq 0 ] || { echo "package check: $failures failed"; exit 1; }
echo "package check passed"
