#!/usr/bin/env bash
# Two whole clients on two linked IRC servers, on a virtual desktop. a speaks through the
# first server only; b through the second, with the first as its fallback. a opens a
# headline's room and joins it while nobody is there; b's alert opens the same room
# through the other server, where a raw observer on the first finds b's guest. Then the
# second server is killed: b comes back through the first and its room rejoins. Then the
# first is killed and started again: a reconnects to it and its room rejoins, and b moves
# back to the second.
#
# Usage: linked_servers.sh CLIENT_BINARY SERVICE_BINARY. KEEP=1 keeps the logs; the
# screenshots go to $E2E_ARTIFACTS, else e2e-artifacts in the working directory.
set -euo pipefail
CLIENT=$1
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
ARTIFACTS=${E2E_ARTIFACTS:-$PWD/e2e-artifacts}
source "$ROOT/tests/e2e/e2e-lib.sh"
mkdir -p "$ARTIFACTS"
E2E_USERS="a b"
shot() { import -window root "$ARTIFACTS/linked-$1.png" 2>/dev/null || true; }
on_failure() { shot failure; }
# joined USER CHANNEL NICK COUNT: USER's log shows NICK's join echo in CHANNEL COUNT times.
joined() { log_has "$1" "irc: joined \"$2\" as \"$3\"" "$4"; }
welcomed() { log_has "$1" "irc: welcome for \"$2\" from \"127.0.0.1:$3\"" "${4:-1}"; }

start_virtual_desktop
start_servers "$2" linked
export VOCALON_NO_WEBENGINE=1
FIRST="127.0.0.1:$IRC_PORT"
SECOND="127.0.0.1:$IRC_PORT2"

# 1. b on the second server, a (who finds b as a peer) on the first.
VOCALON_IRC_HOST="$SECOND,$FIRST" start_user b 127.0.0.3 "$WORK/b" "$CLIENT"
wait_until 30 log_has b "login: errorcode \"0\"" || fail "b did not log in"
wait_until 20 welcomed b guest "$IRC_PORT2" || fail "b's guest is not on the second server"
VOCALON_IRC_HOST="$FIRST" start_user a 127.0.0.2 "$WORK/a" "$CLIENT"
wait_until 30 log_has a "peer: connected with 127.0.0.3" || fail "a did not reach b"
wait_until 20 welcomed a a0 "$IRC_PORT" || fail "a is not on the first server"

# 2. a's invitation opens the room on b, whose guest is seen from the first server.
NEWS=$(open_news_window "${PID[a]}")
[ -n "$NEWS" ] || fail "a's news window did not open"
CHAT=$(open_first_headline "${PID[a]}" "$NEWS")
[ -n "$CHAT" ] || fail "a's chat window did not open"
sleep 2
click_join "$CHAT"
wait_until 20 log_has b "invitation from \"a\"" || fail "b got no invitation"
CHANNEL=$(invited_channel b a)
wait_until 10 joined a "$CHANNEL" a0 1 || fail "a did not join $CHANNEL"
ALERT=$(alert_of "${PID[b]}")
[ -n "$ALERT" ] || fail "b's alert window is not on the screen"
click_alert "$ALERT"
TITLE=$(xdotool getwindowname "$CHAT")
wait_until 20 has_window "${PID[b]}" "$(as_regex "$TITLE")" ||
    fail "b's click did not open the room \"$TITLE\""
wait_until 20 joined b "$CHANNEL" guest 1 || fail "b's guest did not join $CHANNEL"
start_observer "$CHANNEL"
wait_until 10 observer_joined || fail "the observer could not join $CHANNEL"
observer_names_have a0 || fail "a is not in $CHANNEL"
observer_names_have 'guest[0-9]*' || fail "b's guest is not in $CHANNEL as seen from the first server"
shot 1-invited-across

# 3. The second server is killed: b comes back through the first and rejoins.
kill -9 "$IRC_PID2"
wait_until 20 welcomed b guest "$IRC_PORT" || fail "b's guest did not come back through the first server"
wait_until 20 joined b "$CHANNEL" guest 2 || fail "b's room did not rejoin $CHANNEL"
wait_until 10 observer_heard 'guest[0-9]*' " JOIN :$CHANNEL" || fail "the observer did not see b's guest come back"

# 4. The second comes back; the first is killed and started again: a reconnects to it and
# its room rejoins, and b (on the first now) moves on to the second.
run_irc_server "$IRC_DIR2" "$IRC_PORT2"
wait_until 20 irc_linked "$IRC_PORT2" irc1.test || fail "the second server did not link again"
kill -9 "$IRC_PID"
wait_until 10 log_has a "irc: lost \"$FIRST\"" || fail "a did not see the first server go"
run_irc_server "$IRC_DIR" "$IRC_PORT"
wait_until 30 joined a "$CHANNEL" a0 2 || fail "a's room did not rejoin $CHANNEL after the restart"
wait_until 30 joined b "$CHANNEL" guest 3 || fail "b's room did not rejoin $CHANNEL on the second server"
welcomed b guest "$IRC_PORT2" 2 || fail "b did not move back to the second server"
activate "$CHAT"
sleep 1
import -window "$CHAT" "$ARTIFACTS/linked-2-a-rejoined.png" 2>/dev/null || true

for user in a b; do
    kill -0 "${PID[$user]}" 2>/dev/null || fail "$user's client has ended"
    ! grep -q -e "ERROR: AddressSanitizer" -e "runtime error:" "$WORK/$user/client.log" ||
        fail "$user's client reported a memory or undefined-behaviour error"
done
echo "PASS in ${SECONDS}s: a's invitation opened $CHANNEL on b across the link; b came back through the first server when the second died; a's room rejoined after the first was restarted"
