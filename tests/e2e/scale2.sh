#!/usr/bin/env bash
# Every window at a scale factor of 2: two whole clients side by side on a virtual desktop
# of 2560x1600, a at QT_SCALE_FACTOR=2 and b at 1. Each window of a (the login form, the
# news window, the preferences, the chat window) must be twice b's in both directions,
# give or take what font hinting moves (a tenth), and a's alert, from b's invitation,
# twice its designed size with its text inside it. Screenshots of each show the layouts.
#
# Usage: scale2.sh CLIENT_BINARY SERVICE_BINARY
# Screenshots go to scale2/ under $E2E_ARTIFACTS, else under e2e-artifacts in the working
# directory; KEEP=1 keeps the logs.
set -euo pipefail
CLIENT=$1
SERVICE=$2
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
ARTIFACTS=${E2E_ARTIFACTS:-$PWD/e2e-artifacts}/scale2
source "$ROOT/tests/e2e/e2e-lib.sh"
mkdir -p "$ARTIFACTS"
rm -f "$ARTIFACTS"/*.png

E2E_USERS="a b"
shot() { import -window root "$ARTIFACTS/$1.png" 2>/dev/null || true; }
on_failure() { shot failure; }

# size_of WINDOW: "width height".
size_of() {
    local WIDTH=0 HEIGHT=0
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null)"
    echo "$WIDTH $HEIGHT"
}
# doubled NAME BIG SMALL: BIG is twice SMALL in each direction, within a tenth.
doubled() {
    local bw bh sw sh
    read -r bw bh <<<"$(size_of "$2")"
    read -r sw sh <<<"$(size_of "$3")"
    echo "$1: ${bw}x$bh at scale 2, ${sw}x$sh at scale 1"
    [ $((10 * bw)) -ge $((19 * sw)) ] && [ $((10 * bw)) -le $((21 * sw)) ] &&
        [ $((10 * bh)) -ge $((19 * sh)) ] && [ $((10 * bh)) -le $((21 * sh)) ] ||
        fail "$1 did not grow with the scale: ${bw}x$bh against ${sw}x$sh"
}
# open_prefs PID: "Prefs..." from the tray icon's menu; prints the sheet's window.
open_prefs() {
    local icon
    icon=$(tray_icon_of "$1")
    eval "$(xdotool getwindowgeometry --shell "$icon" 2>/dev/null)"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
    sleep 1
    xdotool key Down Down Return
    wait_until 10 has_window "$1" '^Prefs$' && window_of "$1" '^Prefs$'
}
log_in() {
    activate "$(window_of "${PID[$1]}" '^Vocalon$')"
    xdotool type --delay 20 "$1"
    xdotool key Tab
    xdotool type --delay 20 "$1-password"
    xdotool key Return
}

start_virtual_desktop 2560x1600
start_servers "$SERVICE"
export QT_LOGGING_RULES="vocalon.net=true;vocalon.app=true"
unset VOCALON_NO_WEBENGINE
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

# 1. The login forms.
start_user b 127.0.0.3 "$WORK/b" "$CLIENT" form
QT_SCALE_FACTOR=2 start_user a 127.0.0.2 "$WORK/a" "$CLIENT" form
for user in a b; do
    wait_until 20 has_window "${PID[$user]}" '^Vocalon$' || fail "$user's login form did not show"
done
doubled "login form" "$(window_of "${PID[a]}" '^Vocalon$')" "$(window_of "${PID[b]}" '^Vocalon$')"
shot 1-login-forms
for user in b a; do
    log_in "$user"
    wait_until 30 log_has "$user" "login: errorcode \"0\"" || fail "$user did not log in"
    wait_until 40 log_has "$user" "news: check done" || fail "$user's news did not arrive"
done

# 2. The news windows and the preferences.
NEWS_A=$(open_news_window "${PID[a]}")
NEWS_B=$(open_news_window "${PID[b]}")
[ -n "$NEWS_A" ] && [ -n "$NEWS_B" ] || fail "a news window did not open"
doubled "news window" "$NEWS_A" "$NEWS_B"
shot 2-news
PREFS_A=$(open_prefs "${PID[a]}") || fail "a's preferences did not open"
PREFS_B=$(open_prefs "${PID[b]}") || fail "b's preferences did not open"
doubled "preferences" "$PREFS_A" "$PREFS_B"
activate "$PREFS_A"
import -window "$PREFS_A" "$ARTIFACTS/3-prefs-scale2.png"
for w in "$PREFS_A" "$PREFS_B"; do
    activate "$w"
    xdotool key Escape
done

# 3. b opens a room and joins it: a's alert shows, twice its designed 128x110, with its
# text clear of every edge; a click on it opens a's room.
wait_until 20 log_has b "peer: connected with 127.0.0.2" || fail "b did not reach a"
activate "$NEWS_B"
CHAT_B=$(open_first_headline "${PID[b]}" "$NEWS_B")
[ -n "$CHAT_B" ] || fail "b's chat window did not open"
TITLE=$(xdotool getwindowname "$CHAT_B")
# Join takes the room from the guest once the guest is in it.
wait_until 20 log_has b "irc: joined \".*\" as \"guest" || fail "b's guest did not join the room"
sleep 1
activate "$CHAT_B"
click_join "$CHAT_B"
wait_until 20 log_has a "invitation from \"b\" .* shown" || fail "a's alert did not show"
ALERT=$(alert_of "${PID[a]}")
[ -n "$ALERT" ] || fail "a's alert is not on the screen"
read -r AW AH <<<"$(size_of "$ALERT")"
echo "alert: ${AW}x$AH at scale 2"
[ "$AW" -eq 256 ] && [ "$AH" -eq 220 ] || fail "a's alert is ${AW}x$AH, not 256x220"
import -window "$ALERT" "$ARTIFACTS/4-alert-scale2.png"
# The box around everything that is not the alert's pink: the text.
TEXT_BOX=$(convert "$ARTIFACTS/4-alert-scale2.png" -fuzz 8% -transparent 'rgb(255,128,255)' \
    -format '%@' info:)
echo "alert text: $TEXT_BOX"
[[ $TEXT_BOX =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "a's alert shows no text"
TW=${BASH_REMATCH[1]} TH=${BASH_REMATCH[2]} TX=${BASH_REMATCH[3]} TY=${BASH_REMATCH[4]}
[ "$TX" -gt 0 ] && [ "$TY" -gt 0 ] && [ $((TX + TW)) -lt "$AW" ] && [ $((TY + TH)) -lt "$AH" ] ||
    fail "a's alert text is cut: $TEXT_BOX in ${AW}x$AH"
click_alert "$ALERT"
wait_until 20 has_window "${PID[a]}" "$(as_regex "$TITLE")" || fail "a's click did not open the room"
CHAT_A=$(window_of "${PID[a]}" "$(as_regex "$TITLE")")
sleep 2
doubled "chat window" "$CHAT_A" "$CHAT_B"
shot 5-chat
activate "$CHAT_A"
import -window "$CHAT_A" "$ARTIFACTS/6-chat-scale2.png"

for user in a b; do
    kill -0 "${PID[$user]}" 2>/dev/null || fail "$user's client has ended"
    ! grep -q -e "ERROR: AddressSanitizer" -e "runtime error:" "$WORK/$user/client.log" ||
        fail "$user's client reported a memory or undefined-behaviour error"
done
echo "PASS in ${SECONDS}s: at scale 2 the login form, the news window, the preferences, the chat window and the alert kept their layouts, each twice its size at scale 1"
