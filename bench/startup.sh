#!/usr/bin/env bash
# Start-up as a user feels it: Quillberry and a bare Qt window started as processes on an X server, and
# the whole job as a process. Uses the running display, or a private Xvfb when there is none.
#   bash bench/startup.sh [ROUNDS] [BUILD_DIR]
set -euo pipefail
rounds=${1:-30}
build=${2:-"$(dirname "$0")/../build"}
bench="$build/bench/quillberry-bench"
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash -c "'$bench' --startup $rounds && '$bench' --job-process $rounds"
fi
"$bench" --startup "$rounds"
"$bench" --job-process "$rounds"
