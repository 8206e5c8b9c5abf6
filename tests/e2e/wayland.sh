#!/usr/bin/env bash
# Two whole clients as native Wayland clients under a headless compositor (sway), with the
# real web engine, their tray icons and notifications on a private session bus that
# e2e_desktop_bus serves. a logs in through the form (keys typed with wtype); its tray icon
# registers with the watcher, and activating it shows the news window; Enter opens the shown
# headline's room with the article's page. a joins the empty room (Alt+J): b,
# whose windows cannot be placed, gets the invitation as a notification with an "Open
# room" action, and the action opens the same room. Then a second start of a shows a's
# news window again. Exits 77 (skipped) where the compositor cannot start.
#
# Usage: wayland.sh CLIENT_BINARY SERVICE_BINARY DESKTOP_BUS_BINARY
# Screenshots go to wayland/ under $E2E_ARTIFACTS, else under e2e-artifacts in the working
# directory; KEEP=1 keeps the logs.
set -euo pipefail
CLIENT=$1
SERVICE=$2
DESKTOP_BUS=$3
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
ARTIFACTS=${E2E_ARTIFACTS:-$PWD/e2e-artifacts}/wayland
source "$ROOT/tests/e2e/e2e-lib.sh"
source "$ROOT/tests/e2e/wayland-lib.sh"
mkdir -p "$ARTIFACTS"
rm -f "$ARTIFACTS"/*.png

for tool in sway swaymsg wtype grim jq dbus-daemon dbus-send; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (tools/deps.sh)"; exit 77; }
done
if ! start_wayland_desktop; then
    echo "SKIP: the Wayland compositor (sway, headless) cannot start here:"
    tail -n 5 "$WORK/sway/sway.log" 2>/dev/null || true
    exit 77
fi

E2E_USERS="a b"
on_failure() {
    wl_shot "$ARTIFACTS/failure.png" || true
    local user
    for user in a b; do
        echo "--- windows of $user: $(wl_titles "${PID[$user]:-0}" | tr '\n' '|')" >&2
    done
    echo "--- desktop bus" >&2
    tail -n 20 "$WORK/desktop.log" >&2 || true
}
articles_at_least() { [ "$(grep -c ' GET /articles/.* 200$' "$WORK/service.log" || true)" -ge "$1" ]; }
item_of() { awk -v pid="$1" '$1 == "item" && $2 == pid { print $3; exit }' "$WORK/desktop.log"; }
notification_of() { awk -v pid="$1" '$1 == "notify" && $3 == pid { print; exit }' "$WORK/desktop.log"; }
# page_drawn PID TITLE: the chat window's browser pane shows more than a blank page.
page_drawn() {
    wl_shot "$WORK/chat.png" "$1" "$2" || return 1
    local colours
    colours=$(convert "$WORK/chat.png" -crop 500x150+10+40 +repage -format %k info: 2>/dev/null || echo 0)
    [ "${colours:-0}" -ge 32 ]
}
# chat_title PID: the title of the client's window that is neither the form nor the news.
# A command substitution in wait_until's arguments would be read once, before the wait.
has_chat() { [ -n "$(chat_title "$1")" ]; }
has_item() { [ -n "$(item_of "$1")" ]; }
chat_title() {
    wl_titles "$1" | grep -v -e '^$' -e '^Vocalon$' -e '^vocalon$' -e '^Latest News' -e '^Checking' | tail -n 1
}

start_session_bus || fail "the private session bus did not start"
"$DESKTOP_BUS" 220 >"$WORK/desktop.log" 2>&1 &
DEMO_PIDS+=("$!")
wait_until 10 grep -q '^ready$' "$WORK/desktop.log" || fail "the desktop's D-Bus services did not start"
start_servers "$SERVICE"
# start_servers chose X; these clients speak Wayland and have no X display at all.
export QT_QPA_PLATFORM=wayland QT_LOGGING_RULES="vocalon.net=true;vocalon.app=true"
unset DISPLAY VOCALON_NO_WEBENGINE
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

# 1. b logs in by itself, a through its form. a's tray icon registers with the watcher.
start_user b 127.0.0.3 "$WORK/b" "$CLIENT"
wait_until 30 log_has b "login: errorcode \"0\"" || fail "b did not log in"
start_user a 127.0.0.2 "$WORK/a" "$CLIENT" form
wait_until 20 wl_has_window "${PID[a]}" '^Vocalon$' || fail "a's login form did not show"
wait_until 10 has_item "${PID[a]}" || fail "a's tray icon did not register with the watcher"
ITEM=$(item_of "${PID[a]}")
wl_shot "$ARTIFACTS/1-login-form.png"
wl_focus "${PID[a]}" '^Vocalon$' || fail "a's login form did not take the keyboard"
sleep 1
# The client drops the first key after a new keyboard's keymap (wtype makes one each
# time): a lone Shift goes first.
wtype -k Shift_L a -k Tab a-password -k Return
wait_until 30 log_has a "login: errorcode \"0\"" || fail "a did not log in through the form"
wait_until 40 log_has a "news: check done" || fail "a's news did not arrive"

# 2. Activating the icon (what a click on it does) shows the news; a headline opens its
# room, whose pane loads the article from the service.
dbus-send --session --print-reply --dest="${ITEM%%/*}" /StatusNotifierItem \
    org.kde.StatusNotifierItem.Activate int32:0 int32:0 >/dev/null || fail "a's tray icon did not take the activation"
wait_until 10 wl_has_window "${PID[a]}" '^Latest News - ' || fail "activating a's tray icon did not show its news"
wl_focus "${PID[a]}" '^Latest News - '
sleep 0.5
wtype -k Shift_L -k Delete
sleep 1
# Enter opens the shown headline's room (a click on its link through sway's seat was
# not seen by the client here).
wtype -k Shift_L -k Return
wait_until 60 has_chat "${PID[a]}" || fail "a's chat window did not open"
TITLE=$(chat_title "${PID[a]}")
TITLE_RE=$(as_regex "$TITLE")
wait_until 30 articles_at_least 1 || fail "the service saw no request for the article"
wait_until 30 page_drawn "${PID[a]}" "$TITLE_RE" || fail "a's chat window shows no page"
wl_shot "$ARTIFACTS/2-a-room.png"

# 3. a joins while nobody else is there: b's invitation is a notification with the alert's
# text and an "Open room" action; the action opens the same room.
wait_until 20 log_has a "peer: connected with 127.0.0.3" || fail "a did not reach b"
# A busy client may still lose the keys: they go again only while a has not joined, as a
# second Alt+J would leave.
for _ in 1 2 3; do
    wl_focus "${PID[a]}" "$TITLE_RE" || fail "a's chat window did not take the keyboard"
    sleep 0.5
    wtype -k Shift_L -M alt -k j -m alt
    wait_until 8 log_has a "irc: joined \".*\" as \"a0\"" && break
done
log_has a "irc: joined \".*\" as \"a0\"" || fail "Alt+J did not join a's room"
wait_until 20 log_has b "invitation from \"a\" .* notified" || fail "b's invitation did not become a notification"
NOTE=$(notification_of "${PID[b]}")
[ -n "$NOTE" ] || fail "the notification service heard nothing from b"
case $NOTE in *" open|Open room|default|Open room Chat Event from a!\n\n"*) ;;
    *) fail "b's notification is not the invitation with its action: $NOTE" ;; esac
wl_has_window "${PID[b]}" "$TITLE_RE" && fail "b's room opened before the action"
dbus-send --session --print-reply --dest=org.vocalon.TestDesktop / \
    org.vocalon.TestDesktop.InvokeAction "uint32:$(echo "$NOTE" | cut -d' ' -f2)" string:open >/dev/null
wait_until 20 wl_has_window "${PID[b]}" "$TITLE_RE" || fail "the notification's action did not open the room \"$TITLE\" for b"
wait_until 30 articles_at_least 2 || fail "b's room did not ask for the article"
wait_until 30 page_drawn "${PID[b]}" "$TITLE_RE" || fail "b's chat window shows no page"
wl_shot "$ARTIFACTS/3-b-room.png"

# 4. a closes its news window; starting a again shows it, and the second copy stays at its
# notice.
swaymsg -q "[pid=${PID[a]} title=\"^Latest News - \"] kill"
wait_until 10 wl_no_window "${PID[a]}" '^Latest News - ' ||
    fail "a's news window did not close"
(cd "$WORK/a" && XDG_CONFIG_HOME="$WORK/a/config" XDG_RUNTIME_DIR="$WORK/a/run" \
    XDG_DATA_HOME="$WORK/a/data" XDG_CACHE_HOME="$WORK/a/cache" VOCALON_PEER_BIND=127.0.0.2 \
    exec "$CLIENT" >"$WORK/a/second.log" 2>&1) &
SECOND=$!
DEMO_PIDS+=("$SECOND")
wait_until 20 wl_has_window "${PID[a]}" '^Latest News - ' || fail "a second start did not show a's news window"
wl_shot "$ARTIFACTS/4-second-start.png"
kill -0 "$SECOND" 2>/dev/null || fail "the second copy ended before its notice"

for user in a b; do
    kill -0 "${PID[$user]}" 2>/dev/null || fail "$user's client has ended"
    ! grep -q -e "ERROR: AddressSanitizer" -e "runtime error:" "$WORK/$user/client.log" ||
        fail "$user's client reported a memory or undefined-behaviour error"
done
echo "PASS in ${SECONDS}s: under Wayland a logged in, its tray icon registered and showed the news, a headline opened its room with the page, b's invitation was a notification whose action opened $TITLE, and a second start showed a's news"
