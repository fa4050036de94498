#!/usr/bin/env bash
# Builds the Debian package build/veltrip_VERSION_ARCH.deb from the normal
# build; install it with: apt install ./build/veltrip_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh normal
rm -f build/veltrip_*.deb
out=$(cd build && cpack -G DEB 2>&1) || { echo "$out" >&2; exit 1; }
ls build/veltrip_*.deb
