#!/usr/bin/env bash
# Installs what is missing, builds the normal and the ASan+UBSan configuration,
# runs every test in both and each fuzz target briefly. At the end, and on a
# failure, it prints how long each stage took.
set -euo pipefail
cd "$(dirname "$0")/.."

STAGES=()
# EPOCHREALTIME with a decimal point whatever the locale.
now() { echo "${EPOCHREALTIME/,/.}"; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%7.1f s", b - a }'; }
started=$(now)
print_stages() {
    echo "== stage times"
    local line
    for line in "${STAGES[@]}"; do echo "$line"; done
    printf '%-36s %s\n' "whole run" "$(seconds_since "$started")"
}
trap print_stages EXIT

# stage NAME COMMAND...: runs COMMAND and notes its wall time under NAME.
stage() {
    local name=$1 begin
    begin=$(now)
    shift
    echo "== $name"
    if ! "$@"; then
        STAGES+=("$(printf '%-36s %s  FAILED' "$name" "$(seconds_since "$begin")")")
        exit 1
    fi
    STAGES+=("$(printf '%-36s %s' "$name" "$(seconds_since "$begin")")")
}

# Seconds each fuzz target runs: its seeds first, then new inputs. A smoke
# run that every target still starts from its seeds; VELTRIP_FUZZ_SECONDS
# gives a longer one.
FUZZ_SECONDS=${VELTRIP_FUZZ_SECONDS:-5}

# fuzz_one TARGET: a short run from the target's seeds; prints its last lines.
fuzz_one() {
    local target=$1 name seeds work status=0
    name=$(basename "$target")
    seeds="fuzz/seeds/${name#fuzz_}"
    work=$(mktemp -d)
    [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
    "$target" -max_total_time="$FUZZ_SECONDS" -max_len=65536 -print_final_stats=0 "$work" >"$work/.log" 2>&1 || status=$?
    echo "-- $name"
    tail -n 2 "$work/.log"
    rm -rf "$work"
    return $status
}

# Two at a time, one per core: each target keeps its whole fuzzing time.
run_fuzzers() {
    local target pids=() failed=0 pid
    for target in build-asan/fuzz/fuzz_*; do
        [ -f "$target" ] && [ -x "$target" ] || continue
        fuzz_one "$target" &
        pids+=($!)
        if [ ${#pids[@]} -ge 2 ]; then
            wait "${pids[0]}" || failed=1
            pids=("${pids[@]:1}")
        fi
    done
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
    return $failed
}

stage "install what is missing" bash scripts/install-deps.sh

# A request for more memory than the machine has returns null, as malloc
# does without the sanitizer: the tests of hostile maps check the message
# that follows (GDAL asks for a tile's declared size itself).
export ASAN_OPTIONS="abort_on_error=0:detect_leaks=1:allocator_may_return_null=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen

stage "normal build" bash scripts/build.sh normal
stage "normal tests" ctest --test-dir build --output-on-failure -j2
stage "command-line outputs (golden)" bash scripts/golden.sh
stage "Debian package" bash scripts/check-package.sh
stage "sanitizer build (ASan + UBSan)" bash scripts/build.sh sanitize
stage "sanitizer tests" ctest --test-dir build-asan --output-on-failure -j2
stage "fuzz targets" run_fuzzers

# Reached only when every step above passed (set -e).
count() { ctest --test-dir "$1" -N | awk '/^Total Tests:/ {print $3}'; }
echo "== summary"
echo "tests: $(( $(count build) + $(count build-asan) )) passed, 0 failed"
