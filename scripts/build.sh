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
    CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DVELTRIP_SANITIZE=ON -DVELTRIP_FUZZ=ON -DVELTRIP_BENCH=OFF >/dev/null
    cmake --build build-asan
    ;;
*)
    echo "usage: build.sh normal|sanitize" >&2
    exit 2
    ;;
esac
