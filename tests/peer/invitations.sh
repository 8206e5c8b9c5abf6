#!/usr/bin/env bash
# Three whole clients invite each other through the peer network, on a virtual desktop:
# the reference service and InspIRCd run locally, and each client has its own settings,
# working directory and loopback address (127.0.0.2-4) with one peer port. User a opens a
# headline's room and joins it while nobody is there; b and c must each get exactly one
# alert, and a click on b's alert must open the same room, where a is listed.
#
# Usage: invitations.sh CLIENT_BINARY SERVICE_BINARY
set -euo pipefail
CLIENT=$1
SERVICE=$2
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
WORK=$(mktemp -d)
source "$ROOT/tools/demo-lib.sh"
# KEEP=1 keeps the logs.
trap 'kill "${DEMO_PIDS[@]}" 2>/dev/null || true; wait 2>/dev/null || true; [ -n "${KEEP:-}" ] || rm -rf "$WORK"' EXIT

fail() {
    echo "FAIL: $*" >&2
    for user in a b c; do
        echo "--- log of $user" >&2
        tail -n 30 "$WORK/$user/client.log" >&2 || true
        echo "--- windows of $user" >&2
        for w in $(xdotool search --all --pid "${PID[$user]:-0}" . 2>/dev/null || true); do
            echo "$w \"$(xdotool getwindowname "$w" 2>/dev/null)\" $(xdotool getwindowgeometry "$w" 2>/dev/null | tr '\n' ' ')" >&2
        done
    done
    exit 1
}

# wait_until SECONDS COMMAND...: polls the command twice a second.
wait_until() {
    local seconds=$1
    shift
    for _ in $(seq $((seconds * 2))); do
        "$@" && return 0
        sleep 0.5
    done
    return 1
}

count_in_log() { grep -c -- "$2" "$WORK/$1/client.log" 2>/dev/null || true; }
log_has() { [ "$(count_in_log "$1" "$2")" -ge "${3:-1}" ]; }

start_virtual_desktop
start_service "$SERVICE" "$WORK"
start_irc_server "$WORK"
for PEER_PORT in $(seq 24430 24530); do
    (exec 3<>"/dev/tcp/127.0.0.1/$PEER_PORT") 2>/dev/null || break
done
export VOCALON_SERVICE_HOST="$SERVICE_HOST" VOCALON_IRC_HOST=127.0.0.1 VOCALON_IRC_PORT="$IRC_PORT"
# The clients show real windows on the virtual screen, whatever the suite's platform is.
export VOCALON_PEER_PORT="$PEER_PORT" VOCALON_NO_WEBENGINE=1 QT_LOGGING_RULES="vocalon.net=true"
export QT_QPA_PLATFORM=xcb

declare -A PID
# start_client NAME ADDRESS: logs in by itself as NAME, speaking from ADDRESS.
start_client() {
    local dir="$WORK/$1"
    mkdir -p "$dir/run"
    chmod 700 "$dir/run"
    register_demo_user "$1" "$1-password"
    write_demo_settings "$dir/config" "$1" "$1-password" "$dir"
    choose_demo_sources "$1" "$dir"
    (cd "$dir" && XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/run" \
        VOCALON_PEER_BIND="$2" exec "$CLIENT" >"$dir/client.log" 2>&1) &
    PID[$1]=$!
    DEMO_PIDS+=("$!")
}

# b first, then c (who finds b), then a (who finds both).
start_client b 127.0.0.3
wait_until 30 log_has b "login: errorcode \"0\"" || fail "b did not log in"
start_client c 127.0.0.4
wait_until 30 log_has c "peer: connected with 127.0.0.3" || fail "c did not reach b"
start_client a 127.0.0.2
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
CHANNEL=$(grep -o 'invitation from "a" to "[^"]*"' "$WORK/b/client.log" | head -n 1 | sed 's/.* to "\(.*\)"/\1/')

ALERT=$(alert_of "${PID[b]}")
[ -n "$ALERT" ] || fail "b's alert window is not on the screen"
# c's alert lies at the same place; b's is brought on top first.
xdotool windowraise "$ALERT"
eval "$(xdotool getwindowgeometry --shell "$ALERT")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
TITLE=$(xdotool getwindowname "$CHAT")
wait_until 20 test -n "$(window_of "${PID[b]}" "^$(printf '%s' "$TITLE" | sed 's/[][\.*^$]/\\&/g')\$")" ||
    fail "b's click did not open the room \"$TITLE\""

# The room b opened is a's: a raw IRC client in the same channel sees a and b's guest.
exec 3<>"/dev/tcp/127.0.0.1/$IRC_PORT"
printf 'NICK observer\r\nUSER observer 8 * :observer\r\n' >&3
names=""
while IFS= read -r -t 10 line <&3; do
    case $line in
        *" 001 "*) printf 'JOIN %s marigold\r\n' "$CHANNEL" >&3 ;;
        *" 353 "*) names+="$line " ;;
        *" 366 "*) break ;;
        PING*) printf 'PONG %s\r\n' "${line#PING }" >&3 ;;
    esac
done
exec 3>&-
echo "$names" | grep -q "a0" || fail "a is not in $CHANNEL: $names"
echo "$names" | grep -q "guest" || fail "b's guest is not in $CHANNEL: $names"
echo "PASS: b and c got one alert each; b's click opened $CHANNEL with a in it"
