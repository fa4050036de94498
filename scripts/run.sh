#!/usr/bin/env bash
# Installs what is missing, builds, and starts veltrip.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh normal
mkdir -p "${VELTRIP_STORAGE_CARD:-$HOME/Storage card}/GPS"
exec build/tools/veltrip-cli decode data/sample.nmea
