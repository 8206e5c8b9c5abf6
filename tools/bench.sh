#!/usr/bin/env bash
# Builds the benchmarks optimised and runs them: the news check, then the desktop's idle
# work (tray blink, settings writes), the IRC line handling, the chat flood and the peer
# network's event flood, start-up and idle memory, the service's store (SQLite and a
# private PostgreSQL cluster); then one table of the figures against their targets.
# Arguments go to the news benchmark:
#   bash tools/bench.sh [feeds=200] [articles=50] [delay_ms=50] [parallel=8]
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOCALON_SANITIZE=OFF -DVOCALON_TESTS=OFF >/dev/null
cmake --build build-bench --target bench_news bench_desktop bench_chat bench_chat_flood \
    bench_peer bench_startup bench_service bench_chat_window
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
# Start-up, idle memory and the first chat window are measured on a real X display, whose
# OpenGL stack offscreen would hide: a virtual one (with a window manager) unless there is
# a display already.
real_display() {
    if [ -z "${DISPLAY:-}" ]; then
        ROOT=$PWD
        source tools/demo-lib.sh
        start_virtual_desktop
    fi
    QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="qt.webenginecontext.info=false" "$@"
}
# As root, the web engine runs only unsandboxed.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
# Each benchmark prints its own report; the lines starting "summary |" make the table.
LOG=build-bench/bench.log
{
    ./build-bench/bench/bench_news "$@"
    ./build-bench/bench/bench_desktop
    ./build-bench/bench/bench_chat
    ./build-bench/bench/bench_chat_flood
    ./build-bench/bench/bench_peer
    ./build-bench/bench/bench_service
    real_display ./build-bench/bench/bench_startup
    real_display ./build-bench/bench/bench_chat_window
} 2>&1 | tee "$LOG" | grep -v '^summary |'
echo
echo "Summary"
grep '^summary |' "$LOG" | cut -d'|' -f2- |
    awk -F'|' '{ printf "  %-42s %-28s %s\n", $1, $2, $3 }'
