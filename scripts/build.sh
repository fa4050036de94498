#!/usr/bin/env bash
# Configures and builds one configuration: build.sh normal | sanitize
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-normal}" in
normal)
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build
    ;;
sanitize)
    # One unit per library and program: the headers of Qt and GoogleTest are
    # read once per target instead of once per file. The normal build keeps one unit per file, so a missing include
    # still shows there.
    CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DVELTRIP_SANITIZE=ON -DVELTRIP_FUZZ=ON -DVELTRIP_BENCH=OFF -DCMAKE_UNITY_BUILD=ON >/dev/null
    cmake --build build-asan
    ;;
*)
    echo "usage: build.sh normal|sanitize" >&2
    exit 2
    ;;
esac
