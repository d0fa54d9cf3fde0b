#!/usr/bin/env bash
# Configures and builds (incremental when the folder exists).
#
#   build.sh [TARGET...]      every target, or the ones named
#
# QUILLBERRY_WERROR=ON turns compiler warnings into errors. QUILLBERRY_SANITIZE=ON builds everything with
# AddressSanitizer and UndefinedBehaviorSanitizer, into build-sanitize/ (the plain build goes to build/;
# QUILLBERRY_BUILD_DIR names another folder). Every build is hardened (cmake/QuillberryTargets.cmake).
# ccache is used when it is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize=${QUILLBERRY_SANITIZE:-OFF}
if [[ "$sanitize" == ON ]]; then
    dir=${QUILLBERRY_BUILD_DIR:-build-sanitize}
else
    dir=${QUILLBERRY_BUILD_DIR:-build}
fi
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLBERRY_WERROR="${QUILLBERRY_WERROR:-OFF}"
    -DQUILLBERRY_SANITIZE="$sanitize")
if command -v ccache >/dev/null; then
    options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" "${options[@]}" >/dev/null
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
cmake --build "$dir" --parallel "$(nproc)" "${targets[@]}"
