#!/usr/bin/env bash
# Sets everything up and starts Quillberry.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
exec ./build/quillberry
