#!/usr/bin/env bash
# Installs what is missing, builds the normal and the ASan+UBSan configuration,
# runs every test in both and each fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export ASAN_OPTIONS="abort_on_error=0:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen

echo "== normal build"
bash scripts/build.sh normal
ctest --test-dir build --output-on-failure -j2

echo "== command-line outputs against tests/golden"
bash scripts/golden.sh

echo "== Debian package"
bash scripts/check-package.sh

echo "== sanitizer build (ASan + UBSan)"
bash scripts/build.sh sanitize
ctest --test-dir build-asan --output-on-failure -j2

echo "== fuzz targets"
for target in build-asan/fuzz/fuzz_*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    name=$(basename "$target")
    seeds="fuzz/seeds/${name#fuzz_}"
    work=$(mktemp -d)
    [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
    echo "-- $name"
    "$target" -max_total_time=15 -max_len=65536 -print_final_stats=0 "$work" 2>&1 | tail -n 2
    rm -rf "$work"
done

# Reached only when every step above passed (set -e).
count() { ctest --test-dir "$1" -N | awk '/^Total Tests:/ {print $3}'; }
echo "== summary"
echo "tests: $(( $(count build) + $(count build-asan) )) passed, 0 failed"
