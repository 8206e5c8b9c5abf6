#!/usr/bin/env bash
# Installs what is needed, builds Vocalon and runs the demo: the local reference service
# and the client pointed at it. Sign up with "Need To Register? Click Here!", then log in.
#
# Two more clients, logged in as ann and bob, run beside it, each from its own loopback
# address, so the three invite each other through the peer network.
#
# Without a display (no DISPLAY or WAYLAND_DISPLAY) the demo runs on a virtual screen with
# a window manager and a tray host: a demo user is registered and logged in, the news
# window is opened from the tray and a headline opens its chat room; ann opens the same
# room, joins and says hello, her client invites the others, and a screenshot shows the
# chat windows with the alerts of the invitation.
#
# With --linked, two InspIRCds linked into one network serve the chat: ann speaks through
# the second, the others through the first, and each client has the other as its fallback.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
LINKED=""
[ "${1:-}" = --linked ] && LINKED=1

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
export VOCALON_SERVICE_HOST="$SERVICE_URL"
echo "Reference service on $SERVICE_URL/ with a test CA (log: $DEMO_DIR/service.log)"
if [ -n "$LINKED" ]; then
    start_linked_irc_servers "$DEMO_DIR"
    export VOCALON_IRC_HOST="127.0.0.1:$IRC_PORT,127.0.0.1:$IRC_PORT2"
    echo "Linked IRC servers on 127.0.0.1:$IRC_PORT and :$IRC_PORT2 (logs: $IRC_DIR, $IRC_DIR2)"
else
    start_irc_server "$DEMO_DIR"
    export VOCALON_IRC_HOST=127.0.0.1 VOCALON_IRC_PORT="$IRC_PORT"
    echo "IRC server on 127.0.0.1:$IRC_PORT (log: $IRC_DIR/inspircd.log)"
fi
# The web pages of the chat windows: as root the engine runs without its sandbox.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

# The clients share one machine: each speaks from its own loopback address, so the
# service hands each one out to the others as a peer. The peer port is the built-in one,
# which only root (or a binary given cap_net_bind_service) may listen on.
[ "$(id -u)" -eq 0 ] || export VOCALON_PEER_PORT=${VOCALON_PEER_PORT:-4443}
export VOCALON_PEER_BIND=127.0.0.2

# other_user NAME ADDRESS: another user, as new, under build/demo/NAME (its output goes
# to client.log there), who logs in by himself.
other_user() {
    rm -rf "${DEMO_DIR:?}/$1"
    if [ -n "$LINKED" ] && [ "$1" = ann ]; then
        VOCALON_IRC_HOST="127.0.0.1:$IRC_PORT2,127.0.0.1:$IRC_PORT" \
            start_user "$1" "$2" "$DEMO_DIR/$1" "$ROOT/build/app/vocalon"
    else
        start_user "$1" "$2" "$DEMO_DIR/$1" "$ROOT/build/app/vocalon"
    fi
}

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    other_user ann 127.0.0.3
    other_user bob 127.0.0.4
    echo "Two more clients are logged in as ann and bob (tray icons). Join an empty room:"
    echo "they get an invitation; or open the same headline in two of them and talk."
    "$ROOT/build/app/vocalon"
    exit 0
fi

start_virtual_desktop
# Every headless run starts as a first day: nothing seen yet, no other users' files.
rm -rf "$DEMO_DIR"/*_seenurls.txt "$DEMO_DIR/ann" "$DEMO_DIR/bob" "$DEMO_DIR/config"
# A throwaway settings store with a registered demo user who logs in by himself.
export XDG_CONFIG_HOME="$DEMO_DIR/config"
register_demo_user demo demo-password
write_demo_settings "$XDG_CONFIG_HOME" demo demo-password "$DEMO_DIR"
choose_demo_sources demo "$DEMO_DIR"

"$ROOT/build/app/vocalon" &
APP_PID=$!
DEMO_PIDS+=("$APP_PID")
sleep 4
# The others start now, so their first news checks bring the same headlines.
other_user ann 127.0.0.3
other_user bob 127.0.0.4
sleep 3
# The demo user opens the news window from the tray and the first headline's room.
NEWS=$(open_news_window "$APP_PID")
DEMO_CHAT=""
[ -n "$NEWS" ] && DEMO_CHAT=$(open_first_headline "$APP_PID" "$NEWS")
sleep 4
# Ann opens the same room and joins it. The demo user only watches, so nobody is listed
# there: her client invites the others, and bob and the demo user get an alert.
ANN_NEWS=$(open_news_window "${PID[ann]}")
ANN_CHAT=""
[ -n "$ANN_NEWS" ] && ANN_CHAT=$(open_first_headline "${PID[ann]}" "$ANN_NEWS")
if [ -n "$ANN_CHAT" ]; then
    sleep 4
    click_join "$ANN_CHAT"
    sleep 3
    say "$ANN_CHAT" "Hello from ann! Nice article."
    sleep 1
    [ -n "$DEMO_CHAT" ] && xdotool windowactivate "$DEMO_CHAT" 2>/dev/null || true
    sleep 1
fi
SHOT="$DEMO_DIR/vocalon-screen.png"
import -display "$DISPLAY" -window root "$SHOT"
echo "No display here: the demo ran on a virtual screen. Screenshot: $SHOT"
