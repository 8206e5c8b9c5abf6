#!/usr/bin/env bash
# Installs what is needed, builds Vocalon and runs the demo: the local reference service
# and the client pointed at it. Sign up with "Need To Register? Click Here!", then log in.
#
# Without a display (no DISPLAY or WAYLAND_DISPLAY) the demo runs on a virtual screen with
# a window manager and a tray host: a demo user is registered and logged in, the news
# window is opened from the tray, a headline opens its chat room, and a screenshot shows
# the result.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

bash tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOCALON_TESTS=OFF \
    -DVOCALON_BENCH=OFF >/dev/null
cmake --build build

# The client keeps its files in the directory it starts from.
DEMO_DIR="$ROOT/build/demo"
mkdir -p "$DEMO_DIR"
cd "$DEMO_DIR"
source "$ROOT/tools/demo-lib.sh"

start_service "$ROOT/build/tools/service/vocalon-service" "$DEMO_DIR"
export VOCALON_SERVICE_HOST="$SERVICE_HOST"
echo "Reference service on http://$SERVICE_HOST/ (log: $DEMO_DIR/service.log)"
start_irc_server "$DEMO_DIR"
export VOCALON_IRC_HOST=127.0.0.1 VOCALON_IRC_PORT="$IRC_PORT"
echo "IRC server on 127.0.0.1:$IRC_PORT (log: $DEMO_DIR/irc/inspircd.log)"
# The web pages of the chat windows: as root the engine runs without its sandbox.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

# A second user, ann, with settings, runtime and working directories of her own, who logs
# in by herself: someone to talk to in the rooms. Sets ANN_PID.
start_ann() {
    ANN_DIR="$DEMO_DIR/ann"
    rm -rf "$ANN_DIR"  # she starts each demo as a new user
    mkdir -p "$ANN_DIR/run"
    chmod 700 "$ANN_DIR/run"
    register_demo_user ann ann-password
    write_demo_settings "$ANN_DIR/config" ann ann-password "$ANN_DIR"
    choose_demo_sources ann "$ANN_DIR"
    (cd "$ANN_DIR" && XDG_CONFIG_HOME="$ANN_DIR/config" XDG_RUNTIME_DIR="$ANN_DIR/run" \
        exec "$ROOT/build/app/vocalon") &
    ANN_PID=$!
    DEMO_PIDS+=("$ANN_PID")
}

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    start_ann
    echo "A second client is logged in as ann (tray icon); open the same headline in both."
    "$ROOT/build/app/vocalon"
    exit 0
fi

start_virtual_desktop
# Every headless run starts as a first day: nothing seen yet, no second user's files.
rm -rf "$DEMO_DIR"/*_seenurls.txt "$DEMO_DIR/ann" "$DEMO_DIR/config"
# A throwaway settings store with a registered demo user who logs in by himself.
export XDG_CONFIG_HOME="$DEMO_DIR/config"
register_demo_user demo demo-password
write_demo_settings "$XDG_CONFIG_HOME" demo demo-password "$DEMO_DIR"
choose_demo_sources demo "$DEMO_DIR"

# wait_for_window REGEX [SECONDS]: until a window of that name exists (the news arrives
# only when every source has answered or timed out).
wait_for_window() {
    for _ in $(seq $((${2:-40} * 2))); do
        xdotool search --name "$1" >/dev/null 2>&1 && return 0
        sleep 0.5
    done
    return 0
}

"$ROOT/build/app/vocalon" &
APP_PID=$!
sleep 6
# The second user starts now, so her first news check brings the same headlines.
DEMO_ICON=""
for w in $(xdotool search --class vocalon 2>/dev/null || true); do
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)"
    [ "${WIDTH:-999}" -lt 64 ] && [ "${WIDTH:-0}" -gt 8 ] && DEMO_ICON=$w
done
start_ann
sleep 2
# A click on the blinking tray icon shows the news window; the menu button opens the menu.
xdotool mousemove 1262 784 click 1 2>/dev/null || true
sleep 2
wait_for_window "^Latest News - "
xdotool key --clearmodifiers Delete 2>/dev/null || true
sleep 1
# A click on the headline opens its chat room: the article's page beside the channel.
NEWS_WINDOW=$(xdotool search --name "^Latest News" 2>/dev/null | head -n 1 || true)
if [ -n "$NEWS_WINDOW" ]; then
    xdotool mousemove --window "$NEWS_WINDOW" 40 64 click 1 2>/dev/null || true
    sleep 8
fi
# The second user opens the same headline's room, joins it and says hello.
DEMO_CHAT=$(xdotool search --class vocalon 2>/dev/null | while read -r w; do
    name=$(xdotool getwindowname "$w" 2>/dev/null)
    case $name in vocalon | Vocalon | "Latest News"*) ;; *) echo "$w" ;; esac
done | head -n 1 || true)
sleep 6
# ann_window NAME: her newest window of that name.
ann_window() {
    { xdotool search --all --pid "$ANN_PID" --name "$1" 2>/dev/null || true; } | tail -n 1
}
# Her tray icon: the small window named like the program that was not there before.
ANN_ICON=""
for w in $(xdotool search --class vocalon 2>/dev/null || true); do
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)"
    [ "${WIDTH:-999}" -lt 64 ] && [ "${WIDTH:-0}" -gt 8 ] && [ "$w" != "$DEMO_ICON" ] && ANN_ICON=$w
done
if [ -n "$ANN_ICON" ]; then
    # Until she is logged in with her news, a click shows her login form; so click again.
    eval "$(xdotool getwindowgeometry --shell "$ANN_ICON" 2>/dev/null)"
    for _ in $(seq 8); do
        xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1 2>/dev/null || true
        sleep 5
        ANN_NEWS=$(ann_window "^Latest News - ")
        [ -n "$ANN_NEWS" ] && break
    done
    xdotool key --window "$ANN_NEWS" --clearmodifiers Delete 2>/dev/null || true
    sleep 1
    xdotool mousemove --window "$ANN_NEWS" 40 64 click 1 2>/dev/null || true
    sleep 8
    ANN_CHAT=$(ann_window "$(xdotool getwindowname "$DEMO_CHAT" 2>/dev/null)")
    WIDTH=640 HEIGHT=600
    [ -n "$ANN_CHAT" ] && eval "$(xdotool getwindowgeometry --shell "$ANN_CHAT" 2>/dev/null)"
    # "Join...", then the input box that joining shows, below the chat pane.
    xdotool mousemove --window "$ANN_CHAT" $((WIDTH - 75)) $((HEIGHT - 36)) click 1 2>/dev/null || true
    sleep 3
    xdotool mousemove --window "$ANN_CHAT" 100 $((HEIGHT - 40)) click 1 2>/dev/null || true
    xdotool type --delay 20 "Hello from ann! Nice article." 2>/dev/null || true
    xdotool key Return 2>/dev/null || true
    sleep 2
    xdotool windowactivate "$DEMO_CHAT" 2>/dev/null || true
    sleep 1
fi
SHOT="$DEMO_DIR/vocalon-screen.png"
import -display "$DISPLAY" -window root "$SHOT"
kill "$APP_PID" "$ANN_PID" 2>/dev/null || true
wait "$APP_PID" "$ANN_PID" 2>/dev/null || true
echo "No display here: the demo ran on a virtual screen. Screenshot: $SHOT"
