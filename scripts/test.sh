#!/usr/bin/env bash
# Sets everything up, checks that every include keeps to the layers, and runs every test; arguments go to
# ctest (`bash scripts/test.sh -L unit`).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/check-layers.sh
bash scripts/build.sh
cd build
ctest --output-on-failure --parallel "$(nproc)" --timeout 600 "$@"
