#!/usr/bin/env bash
# Installs what is needed, builds Vocalon and runs it.
# Without a display (no DISPLAY or WAYLAND_DISPLAY) the program runs on a virtual screen
# with a tray host for a few seconds, and a screenshot shows what it drew.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

bash tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOCALON_TESTS=OFF -DVOCALON_BENCH=OFF >/dev/null
cmake --build build

# The program keeps its files in the directory it starts from.
DEMO_DIR="$ROOT/build/demo"
mkdir -p "$DEMO_DIR"
cd "$DEMO_DIR"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$ROOT/build/app/vocalon"
fi

source "$ROOT/tools/headless.sh"
start_virtual_desktop
"$ROOT/build/app/vocalon" &
APP_PID=$!
sleep 4
SHOT="$DEMO_DIR/vocalon-screen.png"
import -display "$DISPLAY" -window root "$SHOT"
kill "$APP_PID" 2>/dev/null || true
wait "$APP_PID" 2>/dev/null || true
echo "No display here: Vocalon ran on a virtual screen. Screenshot: $SHOT"
