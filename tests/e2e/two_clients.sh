#!/usr/bin/env bash
# Two whole clients on a virtual desktop, with the real web engine, driven only through
# what a person sees: a logs in through the form, the tray icon blinks when the news comes,
# a click on it shows the news and a headline opens its room with the article's page. a
# joins the empty room, b gets the invitation's alert, a click on it opens the same room,
# b joins too and both speak, b with a "/me" action as well; a raw IRC client in the
# channel must hear both, and the action as one, which a's pane shows as "* b waves".
#
# Usage: two_clients.sh CLIENT_BINARY SERVICE_BINARY CLIPBOARD_TEXT_BINARY
# Screenshots go to $E2E_ARTIFACTS, else e2e-artifacts in the working directory; KEEP=1
# keeps the logs. Built with AddressSanitizer, the clients need the web engine's settings
# (ASAN_OPTIONS, LSAN_OPTIONS) that CMakeLists.txt beside this script gives the test.
set -euo pipefail
CLIENT=$1
SERVICE=$2
CLIPBOARD=$3
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
ARTIFACTS=${E2E_ARTIFACTS:-$PWD/e2e-artifacts}
source "$ROOT/tests/e2e/e2e-lib.sh"
mkdir -p "$ARTIFACTS"
rm -f "$ARTIFACTS"/*.png

E2E_USERS="a b"
shot() { import -window root "$ARTIFACTS/$1.png" 2>/dev/null || true; }
on_failure() { shot failure; }

articles_at_least() { [ "$(grep -c ' GET /articles/.* 200$' "$WORK/service.log" || true)" -ge "$1" ]; }
has_tray() { [ -n "$(tray_icon_of "$1")" ]; }


# pixels WINDOW: a hash of the window's pixels, without any file format's metadata;
# nothing when the window cannot be read.
pixels() { import -window "$1" rgb:"$WORK/pixels.rgb" 2>/dev/null && md5sum <"$WORK/pixels.rgb" | cut -c1-32; }

# page_drawn WINDOW: the browser pane of a chat window shows more than a blank page: text
# smoothed by the renderer brings hundreds of colours, an empty pane one or two.
page_drawn() {
    local colours
    colours=$(import -window "$1" -crop 500x150+10+40 +repage -format %k info: 2>/dev/null || echo 0)
    [ "${colours:-0}" -ge 32 ]
}

# tray_blinks ICON BASE SECONDS: the icon shows another picture, the usual one (BASE) again,
# then the same other one again: the blink of news, not a single change such as the icon
# of a check under way. Keeps the other picture as tray-news.png.
tray_blinks() {
    local other="" phase=0 now
    for _ in $(seq $(($3 * 5))); do
        now=$(pixels "$1") || now=""
        if [ -z "$now" ]; then
            :
        elif [ "$now" != "$2" ]; then
            if [ "$now" = "$other" ] && [ $phase -eq 2 ]; then
                import -window "$1" "$ARTIFACTS/tray-news.png" 2>/dev/null || true
                return 0
            fi
            other=$now
            phase=1
        elif [ $phase -eq 1 ]; then
            phase=2
        fi
        sleep 0.2
    done
    return 1
}

# tray_steady ICON BASE: the icon shows BASE throughout a few blink periods.
tray_steady() {
    for _ in $(seq 6); do
        [ "$(pixels "$1" || true)" = "$2" ] || return 1
        sleep 0.3
    done
}

# pane_has_line CHAT_WINDOW LINE: the chat pane (above the input row of a joined room)
# holds LINE, copied as a person would: a click into the pane, select all, copy.
pane_has_line() {
    local HEIGHT=600 text
    activate "$1"
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null)"
    xdotool mousemove --window "$1" 100 $((HEIGHT - 150)) click 1 key ctrl+a ctrl+c 2>/dev/null ||
        true
    text=$("$CLIPBOARD" 2>/dev/null) || return 1
    grep -qxF -- "$2" <<<"$text"
}

start_virtual_desktop
start_servers "$SERVICE"
unset VOCALON_NO_WEBENGINE
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

# 1. b logs in by itself; a, started after it so that the service hands b to it as a peer,
# through the form. The tray icon blinks once the first news check brings headlines.
start_user b 127.0.0.3 "$WORK/b" "$CLIENT"
wait_until 30 log_has b "login: errorcode \"0\"" || fail "b did not log in"
start_user a 127.0.0.2 "$WORK/a" "$CLIENT" form
wait_until 20 has_window "${PID[a]}" '^Vocalon$' || fail "a's login form did not show"
wait_until 10 has_tray "${PID[a]}" || fail "a has no tray icon"
TRAY=$(tray_icon_of "${PID[a]}")
TRAY_IDLE=$(pixels "$TRAY") || fail "a's tray icon cannot be captured"
import -window "$TRAY" "$ARTIFACTS/tray-idle.png"
grep -q '^username=' "$WORK/a/config/Talvex/vocalon.ini" && fail "a's settings have a user before the login"
shot 1-login-form
activate "$(window_of "${PID[a]}" '^Vocalon$')"
xdotool type --delay 20 a
xdotool key Tab
xdotool type --delay 20 a-password
xdotool key Return
wait_until 30 log_has a "login: errorcode \"0\"" || fail "a did not log in through the form"
wait_until 10 grep -q '^username=a$' "$WORK/a/config/Talvex/vocalon.ini" ||
    fail "a's settings did not get the user"
tray_blinks "$TRAY" "$TRAY_IDLE" 30 || fail "a's tray icon did not blink with the news"
shot 2-news-arrived

# 2. A click on the tray icon shows the news and stops the blink; a headline opens its
# room, whose pane loads the article from the service.
NEWS=$(open_news_window "${PID[a]}")
[ -n "$NEWS" ] || fail "a's news window did not open"
case $(xdotool getwindowname "$NEWS") in "Latest News - "*) ;; *) fail "a's news window has no news" ;; esac
tray_steady "$TRAY" "$TRAY_IDLE" || fail "a's tray icon still blinks with the news shown"
! articles_at_least 1 || fail "an article page was loaded before any headline was clicked"
CHAT=$(open_first_headline "${PID[a]}" "$NEWS")
[ -n "$CHAT" ] || fail "a's chat window did not open"
TITLE=$(xdotool getwindowname "$CHAT")
wait_until 30 articles_at_least 1 || fail "the service saw no request for the article"
wait_until 20 page_drawn "$CHAT" || fail "a's chat window shows no page"
shot 3-a-room

# 3. a joins while nobody else is there: b gets one invitation and its alert shows.
wait_until 20 log_has a "peer: connected with 127.0.0.3" || fail "a did not reach b"
activate "$CHAT"
click_join "$CHAT"
wait_until 20 log_has b "invitation from \"a\"" || fail "b got no invitation"
[ "$(count_in_log b "invitation from")" -eq 1 ] || fail "b got more than one invitation"
log_has b "invitation from \"a\" .* shown" || fail "b's alert was not shown"
ALERT=$(alert_of "${PID[b]}")
[ -n "$ALERT" ] || fail "b's alert window is not on the screen"
shot 4-b-alert
CHANNEL=$(invited_channel b a)

# 4. The observer is in the room before anyone speaks. b's click on its alert opens the same
# room; b joins and both say something.
start_observer "$CHANNEL"
wait_until 10 observer_joined || fail "the observer could not join $CHANNEL"
click_alert "$ALERT"
wait_until 20 has_window "${PID[b]}" "$(as_regex "$TITLE")" ||
    fail "b's click did not open the room \"$TITLE\""
B_CHAT=$(window_of "${PID[b]}" "$(as_regex "$TITLE")")
wait_until 30 articles_at_least 2 || fail "b's room did not ask for the article"
wait_until 20 page_drawn "$B_CHAT" || fail "b's chat window shows no page"
activate "$B_CHAT"
click_join "$B_CHAT"
wait_until 10 observer_heard b0 " JOIN :$CHANNEL" || fail "b did not join $CHANNEL"
say "$B_CHAT" "Hello from b"
say "$CHAT" "Hello from a"
wait_until 10 observer_heard b0 " PRIVMSG $CHANNEL :Hello from b" || fail "the room did not hear b"
wait_until 10 observer_heard a0 " PRIVMSG $CHANNEL :Hello from a" || fail "the room did not hear a"
say "$B_CHAT" "/me waves"
wait_until 10 observer_heard b0 " PRIVMSG $CHANNEL :"$'\x01'"ACTION waves"$'\x01' ||
    fail "the room did not hear b's action"
! observer_heard b0 "/me" || fail "b's command went out as text"
wait_until 10 pane_has_line "$CHAT" "* b waves" || fail "a's pane does not show b's action"
sleep 1
shot 5-both-spoke

for user in a b; do
    kill -0 "${PID[$user]}" 2>/dev/null || fail "$user's client has ended"
    ! grep -q -e "ERROR: AddressSanitizer" -e "runtime error:" "$WORK/$user/client.log" ||
        fail "$user's client reported a memory or undefined-behaviour error"
done
echo "PASS in ${SECONDS}s: a logged in, its tray blinked with the news, both rooms showed the page, b followed a's invitation into $CHANNEL and the room heard both, and a saw b's action"
