#!/usr/bin/env bash
# Start-up as a user feels it: Quillberry, a bare Qt window and that window showing one label, started in
# turn as processes on an X server, and the whole job as a process. Uses the running display, or a
# private Xvfb when there is none; and the running session bus, or a private one when there is none and
# dbus-run-session is at hand, because a desktop session always has one: Qt's accessibility bridge
# connects to it when a window's first text is set, and without one it tries to start one, which no start
# from a desktop pays. Other builds of the program given after the build folder start in the same rounds,
# for comparing two versions within one run (the machine's load moves every figure between runs).
#   bash bench/startup.sh [ROUNDS] [BUILD_DIR] [PROGRAM...]
set -euo pipefail
rounds=${1:-30}
build=${2:-"$(dirname "$0")/../build"}
others=("${@:3}")
bench="$build/bench/quillberry-bench"
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$0" "$rounds" "$build" "${others[@]}"
fi
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] && command -v dbus-run-session >/dev/null; then
    exec dbus-run-session -- bash "$0" "$rounds" "$build" "${others[@]}"
fi
"$bench" --startup "$rounds" "${others[@]}"
"$bench" --job-process "$rounds"
