#!/usr/bin/env bash
# Configures and builds into ./build (incremental when the folder exists). QUILLBERRY_WERROR=ON turns
# compiler warnings into errors.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLBERRY_WERROR="${QUILLBERRY_WERROR:-OFF}" >/dev/null
cmake --build build --parallel "$(nproc)"
