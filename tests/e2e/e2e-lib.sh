# Sourced by the end-to-end scripts, with ROOT set: tools/demo-lib.sh, the run's scratch
# directory WORK (made here unless the script made it; kept with KEEP=1), stopping all
# that was started at exit, waiting, reading the clients' logs, failing with everything a
# reader needs, and a raw IRC observer. The scripts fill PID (user -> client process) with
# start_user.

source "$ROOT/tools/demo-lib.sh"
WORK=${WORK:-$(mktemp -d)}
trap 'kill "${DEMO_PIDS[@]}" 2>/dev/null || true; wait 2>/dev/null || true; [ -n "${KEEP:-}" ] || rm -rf "$WORK"' EXIT

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
has_window() { [ -n "$(window_of "$1" "$2")" ]; }
# as_regex TEXT: TEXT matched literally, as a whole window name.
as_regex() { printf '^%s$' "$(printf '%s' "$1" | sed 's/[][\.*^$(){}+?|]/\\&/g')"; }

# fail TEXT: says why, then each client's log and windows (users in E2E_USERS), the
# service's log and the observer's, and ends the script.
fail() {
    echo "FAIL after ${SECONDS}s: $*" >&2
    declare -F on_failure >/dev/null && on_failure
    local user w
    for user in ${E2E_USERS:-}; do
        echo "--- log of $user" >&2
        tail -n 30 "$WORK/$user/client.log" >&2 2>/dev/null || true
        echo "--- windows of $user" >&2
        for w in $(xdotool search --all --pid "${PID[$user]:-0}" . 2>/dev/null || true); do
            echo "$w \"$(xdotool getwindowname "$w" 2>/dev/null)\" $(xdotool getwindowgeometry "$w" 2>/dev/null | tr '\n' ' ')" >&2
        done
    done
    echo "--- service log" >&2
    tail -n 10 "$WORK/service.log" >&2 || true
    echo "--- IRC observer" >&2
    tail -n 10 "$WORK/observer.log" >&2 2>/dev/null || true
    exit 1
}

# start_servers SERVICE_BINARY [linked]: the reference service, InspIRCd (with "linked",
# two linked InspIRCds, see start_linked_irc_servers) and a free peer port, with the
# environment that points every client at them (the first IRC server) and logs their
# network diagnostics.
start_servers() {
    start_service "$1" "$WORK"
    if [ "${2:-}" = linked ]; then
        start_linked_irc_servers "$WORK"
    else
        start_irc_server "$WORK"
    fi
    local port
    take_port port 24430 24530
    export VOCALON_SERVICE_HOST="$SERVICE_URL" VOCALON_IRC_HOST=127.0.0.1
    export VOCALON_IRC_PORT="$IRC_PORT" VOCALON_PEER_PORT="$port"
    # Real windows on the virtual screen, whatever the suite's platform is.
    export QT_LOGGING_RULES="vocalon.net=true" QT_QPA_PLATFORM=xcb
}

# invited_channel USER INVITER: the channel of the invitation USER's log shows.
invited_channel() {
    grep -o "invitation from \"$2\" to \"[^\"]*\"" "$WORK/$1/client.log" | head -n 1 |
        sed 's/.* to "\(.*\)"/\1/'
}

# click_alert WINDOW: other clients' alerts lie at the same place; this one comes on top.
click_alert() {
    xdotool windowraise "$1"
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
}

# start_observer CHANNEL: a raw IRC client that joins the channel and writes what it hears
# to observer.log, for at most a minute.
start_observer() {
    (
        exec 3<>"/dev/tcp/127.0.0.1/$IRC_PORT"
        printf 'NICK observer\r\nUSER observer 8 * :observer\r\n' >&3
        end=$((SECONDS + 60))
        while [ "$SECONDS" -lt "$end" ]; do
            if IFS= read -r -t 2 line <&3; then
                line=${line%$'\r'}
                printf '%s\n' "$line" >>"$WORK/observer.log"
                case $line in
                    *" 001 "*) printf 'JOIN %s marigold\r\n' "$1" >&3 ;;
                    PING*) printf 'PONG %s\r\n' "${line#PING }" >&3 ;;
                esac
            elif [ $? -le 128 ]; then
                break
            fi
        done
    ) &
    DEMO_PIDS+=("$!")
}
observer_joined() { grep -qs " 366 observer " "$WORK/observer.log"; }
# observer_heard NICK TEXT: a line from NICK containing TEXT.
observer_heard() { grep "^:$1!" "$WORK/observer.log" 2>/dev/null | grep -qF -- "$2"; }
# observer_names_have NICK: NICK is in the channel's names reply.
observer_names_have() { grep " 353 observer " "$WORK/observer.log" 2>/dev/null | grep -qE "[ :@+]$1( |$)"; }

# The tests' users have the news notification off: on a virtual X desktop no notification
# service runs, and the balloon the toolkit draws at the tray instead lies over the
# invitation alert and the tray icon the tests click and look at; under Wayland it would
# stand before the invitation among the notifications the test reads.
eval "shared_$(declare -f choose_demo_sources)"
choose_demo_sources() {
    shared_choose_demo_sources "$@"
    printf '[Prefs-%s]\nnews_notify=0\n' "$1" >>"$2/config/Talvex/vocalon.ini"
}
