#!/usr/bin/env bash
# Configures and builds one configuration: build.sh normal | sanitize
set -euo pipefail
cd "$(dirname "$0")/.."

# Both configurations build one unit per library and program: the headers
# of Qt and GoogleTest are read once per target instead of once per file,
# which halves the build. A plain `cmake -S . -B DIR` keeps one unit per
# file, so a missing include still shows in a developer's own build.
case "${1:-normal}" in
normal)
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_UNITY_BUILD=ON >/dev/null
    cmake --build build
    ;;
sanitize)
    # -O1 as the sanitizers advise: their tests run a third faster than at
    # -O0 for a few more seconds of building.
    CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
        -DVELTRIP_SANITIZE=ON -DVELTRIP_FUZZ=ON -DVELTRIP_BENCH=OFF -DCMAKE_UNITY_BUILD=ON >/dev/null
    cmake --build build-asan
    ;;
*)
    echo "usage: build.sh normal|sanitize" >&2
    exit 2
    ;;
esac
