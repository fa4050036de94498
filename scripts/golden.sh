#!/usr/bin/env bash
# Byte-for-byte comparison of what veltrip-cli prints and writes with the
# references in tests/golden, so that a change meant to keep the behaviour
# (a restructuring, a new compiler) can be checked to the last byte.
#
#   bash scripts/golden.sh [--update] [--cli PATH]
#
# Every run's standard output (NAME.stdout), its exit code followed by its
# standard error (NAME.status) and every file it writes count as outputs.
# tests/golden/SHA256SUMS holds the sum of each output in the order the runs
# make them; text outputs up to 8 KiB are kept beside it, so that a
# difference can be read (but not an empty one, nor a status that is just
# "exit 0"). Outputs under "repo/" come from data/ and from inputs made here;
# those under "corpus/" from ../shared/corpus beside the checkout, and they
# are skipped when it is absent. On a difference this run's outputs are kept
# and their folder is named.
#
# --update  writes the references anew from this run (needs the corpus)
# --cli     the veltrip-cli to run (default build/tools/veltrip-cli)
#
# Exit codes: 0 no difference, 1 a difference (the first one is named),
# 2 bad arguments or no program to run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

update=0
cli=build/tools/veltrip-cli
while [ $# -gt 0 ]; do
    case "$1" in
    --update) update=1 ;;
    --cli)
        [ $# -ge 2 ] || { echo "golden: --cli needs PATH" >&2; exit 2; }
        cli=$2
        shift
        ;;
    *)
        echo "usage: bash scripts/golden.sh [--update] [--cli PATH]" >&2
        exit 2
        ;;
    esac
    shift
done
case "$cli" in /*) ;; *) cli=$root/$cli ;; esac
[ -x "$cli" ] || { echo "golden: no program at $cli (build first, or give --cli)" >&2; exit 2; }

golden=$root/tests/golden
corpus=$(cd "$root/.." && pwd)/shared/corpus
have_corpus=0
[ -d "$corpus/nmea" ] && [ -d "$corpus/kml" ] && [ -d "$corpus/bmp" ] && have_corpus=1
if [ $update = 1 ] && [ $have_corpus = 0 ]; then
    echo "golden: --update needs the corpus at $corpus, or its references would be lost" >&2
    exit 2
fi

# A private world: no settings, storage card, locale or time zone of the
# user's can reach the programs.
work=$(mktemp -d)
keep=0
trap '[ $keep = 1 ] || rm -rf "$work"' EXIT
mkdir -p "$work/home/.config" "$work/home/.cache" "$work/run" "$work/in" "$work/out"
chmod 700 "$work/run"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_RUNTIME_DIR=$work/run VELTRIP_STORAGE_CARD=$work/out/repo/card
export LC_ALL=C TZ=UTC QT_QPA_PLATFORM=offscreen
unset LANG LANGUAGE DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS || true
mkdir -p "$VELTRIP_STORAGE_CARD/GPS"

# The programs run in $work and see their inputs under in/ and their outputs
# under out/, by relative paths, so the paths they print and write into files
# are the same on every machine. Only what names the storage card shows the
# temporary folder; run_tmp turns it into @TMP@ there.
cd "$work"
cp "$root/data/sample.nmea" in/sample.nmea
[ $have_corpus = 1 ] && ln -s "$corpus" in/corpus

outputs=()   # in the order the runs make them, relative to out/

# run_with_input FILE NAME ARGS...: runs veltrip-cli ARGS reading FILE, its
# standard output into out/NAME.stdout, the exit code and standard error into
# out/NAME.status. Hundreds of runs: no more processes than needed per run.
run_with_input() {
    local input=$1 name=$2 rc=0
    shift 2
    [ -d "out/${name%/*}" ] || mkdir -p "out/${name%/*}"
    "$cli" "$@" <"$input" >"out/$name.stdout" 2>"$work/stderr" || rc=$?
    echo "exit $rc" >"out/$name.status"
    if [ -s "$work/stderr" ]; then cat "$work/stderr" >>"out/$name.status"; fi
    outputs+=("$name.stdout" "$name.status")
}
# run NAME ARGS...: the same with no input.
run() { run_with_input /dev/null "$@"; }
# run_tmp NAME ARGS...: a run whose messages name the temporary folder.
run_tmp() {
    run "$@"
    sed -i "s|$work|@TMP@|g" "out/$1.stdout" "out/$1.status"
}

# wrote FILE...: the files under out/ the last run has written, in that
# order. One it did not write is skipped: if the references hold it, its
# absence is the difference.
wrote() {
    local file
    for file in "$@"; do
        [ -f "$file" ] && outputs+=("${file#out/}")
    done
    return 0
}

le16() { printf -v "$1" '\\x%02x\\x%02x' $(($2 & 255)) $(($2 >> 8 & 255)); }
le32() { printf -v "$1" '\\x%02x\\x%02x\\x%02x\\x%02x' $(($2 & 255)) $(($2 >> 8 & 255)) $(($2 >> 16 & 255)) $(($2 >> 24 & 255)); }

# make_bmp FILE W H: a 24-bit bottom-up bitmap with a fixed colour pattern.
make_bmp() {
    local file=$1 w=$2 h=$3 x y px a b c d e f g i j k l
    local row=$(((w * 3 + 3) / 4 * 4))
    local pad=$((row - w * 3))
    le32 a $((54 + row * h)); le32 b 0; le32 c 54; le32 d 40; le32 e "$w"; le32 f "$h"
    le16 g 1; le16 i 24; le32 j $((row * h)); le32 k 2835; le32 l 0
    local fmt="BM$a$b$c$d$e$f$g$i$b$j$k$k$l$l"
    for ((y = 0; y < h; y++)); do
        for ((x = 0; x < w; x++)); do
            printf -v px '\\x%02x\\x%02x\\x%02x' $((x * 4 & 255)) $((y * 4 & 255)) $(((x ^ y) * 8 & 255))
            fmt+=$px
        done
        for ((x = 0; x < pad; x++)); do fmt+='\x00'; done
    done
    printf "$fmt" >"$file"
}

# Inputs made here: a GPX and a KML track written by hand (names with
# markup, Latin-1 and a tab; an hour boundary; a route and waypoints), a
# bitmap under a plain and a calibrated name, an empty capture and files that
# are no track.
cat >in/walk.gpx <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<gpx version="1.1" creator="golden" xmlns="http://www.topografix.com/GPX/1/1">
  <wpt lat="52.0912" lon="5.1218"><ele>4.5</ele><time>2025-06-14T10:59:40Z</time><name>Caf&#233; "Oost" &amp; &lt;co&gt;</name></wpt>
  <wpt lat="52.0905" lon="5.1230"><name>tab&#9;stop</name></wpt>
  <rte><rtept lat="52.0890" lon="5.1190"><time>2025-06-14T10:58:00Z</time></rtept></rte>
  <trk><name>walk</name><trkseg>
    <trkpt lat="52.090700" lon="5.121400"><ele>3.0</ele><time>2025-06-14T10:59:50Z</time><speed>1.5</speed><course>40</course><hdop>0.9</hdop></trkpt>
    <trkpt lat="52.090760" lon="5.121500"><ele>3.2</ele><time>2025-06-14T10:59:55Z</time><speed>1.6</speed><course>42</course><hdop>1.0</hdop></trkpt>
    <trkpt lat="52.090830" lon="5.121610"><ele>3.4</ele><time>2025-06-14T11:00:02Z</time></trkpt>
    <trkpt lat="52.090900" lon="5.121720"><ele>3.9</ele><time>2025-06-14T11:00:09Z</time><speed>2.0</speed></trkpt>
    <trkpt lat="52.091800" lon="5.123900"><time>2025-06-14T11:09:00Z</time></trkpt>
  </trkseg></trk>
</gpx>
EOF
cat >in/walk.kml <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<kml xmlns="http://www.opengis.net/kml/2.2" xmlns:gx="http://www.google.com/kml/ext/2.2">
<Document>
  <Placemark><name>Bridge</name><TimeStamp><when>2025-06-14T10:16:00Z</when></TimeStamp>
    <Point><coordinates>5.1224,52.0911,2</coordinates></Point></Placemark>
  <Placemark><gx:Track>
    <when>2025-06-14T10:15:00Z</when><when>2025-06-14T10:15:04Z</when><when>2025-06-14T10:15:09Z</when>
    <gx:coord>5.12145 52.09073 3.3</gx:coord><gx:coord>5.12160 52.09081 3.6</gx:coord><gx:coord>5.12182 52.09090 3.8</gx:coord>
  </gx:Track></Placemark>
  <Placemark><LineString><coordinates>5.1230,52.0912,1 5.1233,52.0914,1.5
    5.1237,52.0915,2</coordinates></LineString></Placemark>
</Document>
</kml>
EOF
: >in/empty.nmea
cp in/sample.nmea in/not-a-track.gpd
printf '<gpx version="1.1"><trk><trkseg><trkpt lat="52"></trkpt>' >in/broken.gpx
make_bmp in/pattern.bmp 64 48
# The extent 5°7'..5°8' E, 52°5'..52°6' N holds every position of sample.nmea.
cp in/pattern.bmp in/X5G7M_5G8MY52G5M_52G6M.bmp

# ---------------------------------------------------------------- repo runs
R=repo

run $R/usage
run $R/help --help
run $R/unknown-command frobnicate
for cmd in decode record convert info map recover render log; do
    run "$R/help-$cmd" "$cmd" --help
done

# decode
run $R/decode/sample decode in/sample.nmea
run $R/decode/sample-utc-3 decode --utc -3 in/sample.nmea
run_with_input in/sample.nmea $R/decode/stdin decode -
run $R/decode/missing decode in/missing.nmea
run $R/decode/bad-utc decode --utc 13 in/sample.nmea
run $R/decode/no-file decode

# record
d=out/$R/record
run $R/record/sample record in/sample.nmea $d/sample
wrote $d/sample.gpd $d/sample.kml
run $R/record/sample-again record in/sample.nmea $d/sample
wrote $d/sample_2.gpd $d/sample_2.kml
run $R/record/options record --utc -4 --max-dilution 12 --kml-speed in/sample.nmea $d/options
wrote $d/options.gpd $d/options.kml
run $R/record/strict record --max-dilution 0 in/sample.nmea $d/strict
wrote $d/strict.gpd $d/strict.kml
run $R/record/empty record in/empty.nmea $d/empty
wrote $d/empty.gpd $d/empty.kml
run $R/record/no-folder record in/sample.nmea $d/no/such/folder/x
run $R/record/missing record in/missing.nmea $d/missing
run $R/record/bad-dilution record --max-dilution -1 in/sample.nmea $d/bad

# convert: each writer from each reader, and the suffix rules
gpd=out/$R/record/sample.gpd
d=out/$R/convert
mkdir -p $d
run $R/convert/gpd-kml convert $gpd $d/sample.kml; wrote $d/sample.kml
run $R/convert/gpd-kml-speed convert --kml-speed $gpd $d/sample-speed.kml; wrote $d/sample-speed.kml
run $R/convert/gpd-gpx convert $gpd $d/sample.gpx; wrote $d/sample.gpx
run $R/convert/gpd-gpd convert $gpd $d/sample.gpd; wrote $d/sample.gpd
run $R/convert/gpx-gpd convert $d/sample.gpx $d/from-gpx.gpd; wrote $d/from-gpx.gpd
run $R/convert/kml-gpd convert $d/sample.kml $d/from-kml.gpd; wrote $d/from-kml.gpd
run $R/convert/walk-gpx-gpd convert in/walk.gpx $d/walk-gpx.gpd; wrote $d/walk-gpx.gpd
run $R/convert/walk-gpx-kml convert in/walk.gpx $d/walk-gpx.kml; wrote $d/walk-gpx.kml
run $R/convert/walk-gpx-gpx-utc convert --utc -2 in/walk.gpx $d/walk-utc.gpx; wrote $d/walk-utc.gpx
run $R/convert/walk-kml-gpd convert in/walk.kml $d/walk-kml.gpd; wrote $d/walk-kml.gpd
run $R/convert/walk-kml-gpx convert --utc 0 in/walk.kml $d/walk-kml.gpx; wrote $d/walk-kml.gpx
run $R/convert/upper-suffix convert $gpd $d/UPPER.GPX; wrote $d/UPPER.GPX
run $R/convert/mixed-suffix convert $gpd $d/Mixed.Kml; wrote $d/Mixed.Kml
run $R/convert/gpd-suffix-from-gpx convert in/walk.gpx $d/walk.GpD; wrote $d/walk.GpD
run $R/convert/bad-suffix convert $gpd $d/sample.txt
run $R/convert/no-suffix convert $gpd $d/sample
run $R/convert/missing convert in/missing.gpd $d/missing.kml
run $R/convert/not-gpd convert in/not-a-track.gpd $d/not.kml
run $R/convert/broken-gpx convert in/broken.gpx $d/broken.gpd
run $R/convert/bad-utc convert --utc 13 $gpd $d/bad.kml
run $R/convert/no-folder convert $gpd $d/no/such/folder/x.gpx

# info, plain and JSON, of every track made above
i=0
for track in out/$R/record/sample.gpd out/$R/record/options.gpd out/$R/record/strict.gpd \
    out/$R/record/empty.gpd out/$R/convert/sample.gpx out/$R/convert/sample.kml \
    out/$R/convert/from-gpx.gpd out/$R/convert/walk-gpx.gpd out/$R/convert/walk-kml.gpd \
    in/walk.gpx in/walk.kml in/not-a-track.gpd in/broken.gpx in/missing.gpd; do
    i=$((i + 1))
    name=$(printf '%02d-%s' $i "$(basename "$track" | tr . -)")
    run "$R/info/$name" info "$track"
    run "$R/info/$name-json" info --json "$track"
done
run $R/info/no-file info
run $R/info/unknown-option info --csv $gpd

# map
d=out/$R/map
mkdir -p $d
run $R/map/pattern map in/pattern.bmp --png $d/pattern.png; wrote $d/pattern.png
run $R/map/calibrated map in/X5G7M_5G8MY52G5M_52G6M.bmp --png $d/calibrated.png; wrote $d/calibrated.png
mkdir -p "$VELTRIP_STORAGE_CARD/Maps/X5G7M_5G8MY52G5M_52G6M"
cp in/pattern.bmp "$VELTRIP_STORAGE_CARD/Maps/X5G7M_5G8MY52G5M_52G6M/city.bmp"
run_tmp $R/map/card-folder map "$VELTRIP_STORAGE_CARD/Maps/X5G7M_5G8MY52G5M_52G6M/city.bmp"
run $R/map/not-bmp map in/sample.nmea
run $R/map/missing map in/missing.bmp
run $R/map/folder map in
run $R/map/no-png-folder map in/pattern.bmp --png $d/no/such/folder/x.png

# map-online: its help and what it refuses before any request (no network
# here; the tile server of the tests covers the rest).
run $R/map-online/help map-online --help
run $R/map-online/no-position map-online
run $R/map-online/bad-position map-online --at 52.1,181
run $R/map-online/two-sources map-online --at 52.1,5.1 --source OpenStreetMap --url 'http://127.0.0.1:9/{z}/{x}/{y}.png'
run $R/map-online/unknown-source map-online --at 52.1,5.1 --source Nowhere
run $R/map-online/bad-zoom map-online --at 52.1,5.1 --zoom 23
run $R/map-online/bad-size map-online --at 52.1,5.1 --size 100
run $R/map-online/not-http map-online --at 52.1,5.1 --url 'ftp://127.0.0.1/{z}/{x}/{y}.png' --dir $d/online --cache $d/online
run $R/map-online/no-y map-online --at 52.1,5.1 --url 'http://127.0.0.1:9/{z}/{x}.png' --dir $d/online --cache $d/online

# render: every view, from the start state and fed with the capture and its
# track, in knots and km/h
d=out/$R/render
mkdir -p $d
map=in/X5G7M_5G8MY52G5M_52G6M.bmp
for view in data compass track status map sky; do
    maparg=()
    [ $view = map ] && maparg=(--map $map)
    run $R/render/$view-start render $view "${maparg[@]}" --png $d/$view-start.png --texts
    wrote $d/$view-start.png
    run $R/render/$view render $view --nmea in/sample.nmea --track $gpd "${maparg[@]}" --png $d/$view.png --texts
    wrote $d/$view.png
    run $R/render/$view-kmh render $view --kmh --nmea in/sample.nmea --track $gpd "${maparg[@]}" --png $d/$view-kmh.png --texts
    wrote $d/$view-kmh.png
done
run $R/render/track-walk render track --track in/walk.gpx --png $d/track-walk.png --texts; wrote $d/track-walk.png
run $R/render/track-walk-kml render track --track in/walk.kml --png $d/track-walk-kml.png --texts; wrote $d/track-walk-kml.png
run $R/render/map-zoom render map --nmea in/sample.nmea --track $gpd --map $map --zoom 0.5 --png $d/map-zoom.png --texts
wrote $d/map-zoom.png
run $R/render/map-offline render map --nmea in/sample.nmea --map $map --map-state offline --png $d/map-offline.png --texts
wrote $d/map-offline.png
run $R/render/map-uncalibrated render map --nmea in/sample.nmea --map in/pattern.bmp --zoom 3 --png $d/map-uncalibrated.png --texts
wrote $d/map-uncalibrated.png
run $R/render/data-size render data --nmea in/sample.nmea --size 320x200 --png $d/data-size.png --texts; wrote $d/data-size.png
run $R/render/sky-size render sky --nmea in/sample.nmea --size 160x300 --png $d/sky-size.png --texts; wrote $d/sky-size.png
run $R/render/compass-no-texts render compass --nmea in/sample.nmea --png $d/compass-no-texts.png; wrote $d/compass-no-texts.png
# View, "Zoom": every view twice as large, the map's zoom at one and a half
for view in data compass track status map sky profile; do
    maparg=()
    [ $view = map ] && maparg=(--map $map)
    run $R/render/$view-scale2 render $view --nmea in/sample.nmea --track $gpd "${maparg[@]}" --scale 2 \
        --png $d/$view-scale2.png --texts
    wrote $d/$view-scale2.png
done
run $R/render/map-zoom-scale1.5 render map --nmea in/sample.nmea --track $gpd --map $map --zoom 0.5 --scale 1.5 \
    --png $d/map-zoom-scale1.5.png --texts
wrote $d/map-zoom-scale1.5.png
run $R/render/bad-scale render data --scale 0.5 --png $d/x.png
run $R/render/too-large-scale render data --size 4000x100 --scale 2 --png $d/x.png
run $R/render/unknown-view render radar --png $d/x.png
run $R/render/no-png render data
run $R/render/map-no-map render map --png $d/x.png
run $R/render/bad-zoom render map --map $map --zoom 0.1 --png $d/x.png
run $R/render/bad-size render data --size 0x10 --png $d/x.png
run $R/render/missing-nmea render data --nmea in/missing.nmea --png $d/x.png
run $R/render/bad-track render track --track in/not-a-track.gpd --png $d/x.png
run $R/render/bad-map render map --map in/sample.nmea --png $d/x.png
run $R/render/no-png-folder render data --png $d/no/such/folder/x.png

# recover: an unfinished log in a folder and one on the storage card
d=out/$R/recover
mkdir -p $d
cp $gpd $d/GPSLog_2025-06-14_1115.gpd
cp in/not-a-track.gpd $d/GPSLog_2025-06-14_1200.gpd
run $R/recover/folder recover $d
wrote $d/GPSLog_2025-06-14_1115.kml
run $R/recover/again recover $d
cp $gpd "$VELTRIP_STORAGE_CARD/GPS/GPSLog_2025-06-14_1115.gpd"
run_tmp $R/recover/card recover --kml-speed
run $R/recover/missing recover out/$R/recover/no-such-folder

# log: no receiver can be relied on here, so only what needs none
run $R/log/no-port log --port in/no-such-device --seconds 1 out/$R/log-none
run $R/log/bad-seconds log --seconds 0
run $R/log/bad-baud log --baud 0
run $R/log/two-bases log a b

# ---------------------------------------------------------------- corpus runs
if [ $have_corpus = 1 ]; then
    C=corpus
    nmea=(in/corpus/nmea/*.log)
    # decode and record every capture; info and the GPX of every log
    for log in "${nmea[@]}"; do
        base=${log##*/}
        base=${base%.log}
        run $C/decode/$base decode "$log"
        run $C/record/$base record "$log" out/$C/record/$base
        wrote out/$C/record/$base.gpd out/$C/record/$base.kml
        run $C/info/$base info out/$C/record/$base.gpd
        run $C/info/$base-json info --json out/$C/record/$base.gpd
        run $C/convert/$base-gpx convert out/$C/record/$base.gpd out/$C/convert/$base.gpx
        wrote out/$C/convert/$base.gpx
        run $C/info/$base-gpx-json info --json out/$C/convert/$base.gpx
    done
    run $C/decode/neo-m8n-utc5 decode --utc 5 in/corpus/nmea/neo-m8n.log
    run $C/record/neo-m8n-options record --utc 0 --max-dilution 8 --kml-speed in/corpus/nmea/neo-m8n.log out/$C/record/neo-m8n-options
    wrote out/$C/record/neo-m8n-options.gpd out/$C/record/neo-m8n-options.kml

    # the KML files, valid or not
    for kml in in/corpus/kml/*.kml in/corpus/kml/invalid/*.kml; do
        base=${kml##*/}
        base=${base%.kml}
        run $C/kml/$base-info info "$kml"
        run $C/kml/$base-json info --json "$kml"
        run $C/kml/$base-gpd convert "$kml" out/$C/kml/$base.gpd
        wrote out/$C/kml/$base.gpd
        run $C/kml/$base-gpx convert "$kml" out/$C/kml/$base.gpx
        wrote out/$C/kml/$base.gpx
    done

    # every bitmap, with its decoded picture
    for bmp in in/corpus/bmp/[bgq]/*.bmp; do
        name=${bmp#in/corpus/bmp/}
        name=${name%.bmp}
        name=${name/\//-}
        run $C/map/$name map "$bmp" --png out/$C/map/$name.png
        wrote out/$C/map/$name.png
    done

    # Every view, in knots and km/h, fed with a capture and the track
    # recorded from it; painting takes the longest, so these are captures
    # that differ most: NMEA 2.0, southern hemisphere, broken checksums, no
    # fix at all, the IN talker, BeiDou with 25 satellites, four systems with
    # several signals, a phone losing its fix. The map view gets a bitmap of
    # the corpus; none carries a calibration in its name, so one is also
    # copied under a name whose extent holds sample.nmea.
    cp in/corpus/bmp/g/rgb24.bmp in/X5G7M_5G8MY52G5M_52G6M-rgb24.bmp
    for base in garmin25lp bu353s4 gp-320fw-2019-04-07-coldboot tn200 humminbird-M37 beidou-bd \
        ublox-zed-f9p-nmea quectel-eg25-g; do
        log=in/corpus/nmea/$base.log
        for view in data compass track status map sky; do
            maparg=()
            [ $view = map ] && maparg=(--map in/corpus/bmp/g/rgb24.bmp)
            run $C/render/$base-$view render $view --nmea "$log" --track out/$C/record/$base.gpd \
                "${maparg[@]}" --png out/$C/render/$base-$view.png --texts
            wrote out/$C/render/$base-$view.png
            run $C/render/$base-$view-kmh render $view --kmh --nmea "$log" --track out/$C/record/$base.gpd \
                "${maparg[@]}" --png out/$C/render/$base-$view-kmh.png --texts
            wrote out/$C/render/$base-$view-kmh.png
        done
    done
    for bmp in g/pal8 g/pal1wb g/pal4rle g/rgb16-565 g/pal8topdown q/rgba64 q/pal8os2v2-16 b/badrle; do
        name=${bmp/\//-}
        run $C/render/map-$name render map --nmea in/sample.nmea --track $gpd --map in/corpus/bmp/$bmp.bmp \
            --png out/$C/render/map-$name.png --texts
        wrote out/$C/render/map-$name.png
    done
    run $C/render/map-calibrated render map --nmea in/sample.nmea --track $gpd \
        --map in/X5G7M_5G8MY52G5M_52G6M-rgb24.bmp --png out/$C/render/map-calibrated.png --texts
    wrote out/$C/render/map-calibrated.png
    run $C/render/map-calibrated-kmh render map --kmh --nmea in/sample.nmea --track $gpd \
        --map in/X5G7M_5G8MY52G5M_52G6M-rgb24.bmp --zoom 0.5 --png out/$C/render/map-calibrated-kmh.png --texts
    wrote out/$C/render/map-calibrated-kmh.png
else
    echo "golden: no corpus at $corpus; its runs are skipped, only the repo's own outputs are compared"
fi

# Any file a run wrote that is not named above counts as well, after them.
declare -A listed=()
for f in "${outputs[@]}"; do listed[$f]=1; done
while IFS= read -r f; do
    [ -n "${listed[$f]:-}" ] || { outputs+=("$f"); listed[$f]=1; }
done < <(cd out && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
(cd out && sha256sum -- "${outputs[@]}") >"$work/SHA256SUMS"

# Kept beside the sums: text of at most 8 KiB that says more than its sum.
worth_keeping() {
    local file=$1 size
    case "${file,,}" in *.png | *.gpd) return 1 ;; esac
    size=$(wc -c <"$file")
    [ "$size" -gt 0 ] && [ "$size" -le 8192 ] || return 1
    [[ $file != *.status || $size != 7 || $(<"$file") != "exit 0" ]] || return 1
    [ "$(tr -d '\000' <"$file" | wc -c)" -eq "$size" ]
}

if [ $update = 1 ]; then
    if leaked=$(grep -rlF "$work" out); then
        echo "golden: these outputs hold the temporary folder's path, so they would differ on every run:" >&2
        echo "$leaked" >&2
        exit 1
    fi
    rm -rf "$golden"
    mkdir -p "$golden"
    cp "$work/SHA256SUMS" "$golden/SHA256SUMS"
    for f in "${outputs[@]}"; do
        if worth_keeping "out/$f"; then
            mkdir -p "$golden/${f%/*}"
            cp "out/$f" "$golden/$f"
        fi
    done
    echo "golden: ${#outputs[@]} outputs written to tests/golden"
    exit 0
fi

[ -f "$golden/SHA256SUMS" ] || { echo "golden: no tests/golden/SHA256SUMS (make it with --update)" >&2; exit 1; }
declare -A expected=()
order=()
while read -r sum f; do
    [ $have_corpus = 1 ] || [ "${f%%/*}" != corpus ] || continue
    expected[$f]=$sum
    order+=("$f")
done <"$golden/SHA256SUMS"
declare -A actual=()
while read -r sum f; do actual[$f]=$sum; done <"$work/SHA256SUMS"

# The copies shown in a diff must be what the sums say.
for f in "${order[@]}"; do
    [ ! -f "$golden/$f" ] || echo "${expected[$f]}  $f"
done >"$work/copies.sha256"
if ! (cd "$golden" && sha256sum --check --quiet "$work/copies.sha256"); then
    echo "golden: a copy in tests/golden no longer matches its sum in SHA256SUMS" >&2
    exit 1
fi

# What was stored of an output: its copy, or what its sum stands for when no
# copy was worth keeping (nothing, or a bare "exit 0").
stored_copy() {
    local f=$1 sum=${expected[$1]:-}
    if [ -f "$golden/$f" ]; then
        echo "$golden/$f"
    elif [ -z "$sum" ]; then
        :
    elif [ "$sum" = "$(sha256sum </dev/null | cut -d' ' -f1)" ]; then
        echo /dev/null
    elif [ "$sum" = "$(echo "exit 0" | sha256sum | cut -d' ' -f1)" ]; then
        echo "exit 0" >"$work/exit0"
        echo "$work/exit0"
    fi
}
different() {
    local f=$1 reference
    keep=1
    echo "golden: $f $2"
    reference=$(stored_copy "$f")
    case "${f,,}" in *.png | *.gpd) reference= ;; esac
    if [ -z "$reference" ]; then
        [ -z "${expected[$f]:-}" ] || echo "golden: (only its sum is kept)"
    elif [ -f "out/$f" ]; then
        diff -u --label "tests/golden/$f" --label "now/$f" "$reference" "out/$f" | head -n 60 || true
    fi
    echo "golden: this run's outputs are kept in $work/out"
    exit 1
}
for f in "${order[@]}"; do
    [ -n "${actual[$f]:-}" ] || different "$f" "is no longer made"
    [ "${actual[$f]}" = "${expected[$f]}" ] || different "$f" "differs"
done
for f in "${outputs[@]}"; do
    [ -n "${expected[$f]:-}" ] || different "$f" "is a new output, not in tests/golden/SHA256SUMS"
done
echo "golden: ${#order[@]} outputs, no difference"
