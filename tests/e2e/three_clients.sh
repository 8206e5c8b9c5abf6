#!/usr/bin/env bash
# Three whole clients invite each other through the peer network, on a virtual desktop:
# the reference service and InspIRCd run locally, and each client has its own settings,
# working directory and loopback address (127.0.0.2-4) with one peer port. User a opens a
# headline's room and joins it while nobody is there; b and c must each get exactly one
# alert, and a click on b's alert must open the same room, where a is listed.
#
# Usage: three_clients.sh CLIENT_BINARY SERVICE_BINARY. KEEP=1 keeps the logs.
set -euo pipefail
CLIENT=$1
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
source "$ROOT/tests/e2e/e2e-lib.sh"
E2E_USERS="a b c"

start_virtual_desktop
start_servers "$2"
export VOCALON_NO_WEBENGINE=1

# b first, then c (who finds b), then a (who finds both).
start_user b 127.0.0.3 "$WORK/b" "$CLIENT"
wait_until 30 log_has b "login: errorcode \"0\"" || fail "b did not log in"
start_user c 127.0.0.4 "$WORK/c" "$CLIENT"
wait_until 30 log_has c "peer: connected with 127.0.0.3" || fail "c did not reach b"
start_user a 127.0.0.2 "$WORK/a" "$CLIENT"
wait_until 30 log_has a "peer: connected with" 2 || fail "a did not reach b and c"

NEWS=$(open_news_window "${PID[a]}")
[ -n "$NEWS" ] || fail "a's news window did not open"
CHAT=$(open_first_headline "${PID[a]}" "$NEWS")
[ -n "$CHAT" ] || fail "a's chat window did not open"
sleep 2
click_join "$CHAT"

for user in b c; do
    wait_until 20 log_has "$user" "invitation from \"a\"" || fail "$user got no invitation"
done
sleep 2
for user in b c; do
    [ "$(count_in_log "$user" "invitation from")" -eq 1 ] || fail "$user got more than one invitation"
    log_has "$user" "invitation from \"a\" .* shown" || fail "$user's alert was not shown"
done
[ "$(count_in_log a "invitation from")" -eq 0 ] || fail "a was invited to its own room"
CHANNEL=$(invited_channel b a)

ALERT=$(alert_of "${PID[b]}")
[ -n "$ALERT" ] || fail "b's alert window is not on the screen"
click_alert "$ALERT"
TITLE=$(xdotool getwindowname "$CHAT")
wait_until 20 has_window "${PID[b]}" "$(as_regex "$TITLE")" ||
    fail "b's click did not open the room \"$TITLE\""

# The room b opened is a's: a raw IRC client in the same channel finds a and b's guest.
start_observer "$CHANNEL"
wait_until 10 observer_joined || fail "the observer could not join $CHANNEL"
observer_names_have a0 || fail "a is not in $CHANNEL"
observer_names_have 'guest[0-9]*' || fail "b's guest is not in $CHANNEL"
echo "PASS: b and c got one alert each; b's click opened $CHANNEL with a in it"
