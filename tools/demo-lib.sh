# Sourced by the demo scripts. Everything started here stops when the script exits.

DEMO_PIDS=()
trap 'kill "${DEMO_PIDS[@]}" 2>/dev/null || true; wait 2>/dev/null || true' EXIT

# start_service BINARY DIR: the reference service on a free loopback port, serving TLS
# with a certificate of a test CA made in DIR/tls (and plain HTTP for the pages it links
# to). Sets SERVICE_HOST (host:port) and SERVICE_URL, the https:// address the clients
# use, and exports VOCALON_EXTRA_CA_FILE, so that they trust the test CA.
start_service() {
    local binary=$1 dir=$2 line=""
    rm -f "$dir/service.port"
    bash "$ROOT/tools/make-test-ca.sh" "$dir/tls"
    export VOCALON_EXTRA_CA_FILE="$dir/tls/ca.pem"
    "$binary" --port 0 --db "$dir/service.db" --tls-cert "$dir/tls/server.pem" \
        --tls-key "$dir/tls/server.key" >"$dir/service.port" 2>"$dir/service.log" &
    DEMO_PIDS+=("$!")
    for _ in $(seq 100); do
        line=$(head -n 1 "$dir/service.port" 2>/dev/null || true)
        [ -n "$line" ] && break
        sleep 0.1
    done
    SERVICE_HOST=${line#listening on }
    SERVICE_URL="https://$SERVICE_HOST"
    [ -n "$SERVICE_HOST" ] || { echo "the reference service did not start" >&2; exit 1; }
}

# take_port VAR FIRST LAST: sets VAR to the first port of the range that nothing on loopback
# listens on and that this script has not taken yet.
TAKEN_PORTS=" "
take_port() {
    # Named apart from any caller's variable: printf -v would set a local of that name here.
    local _candidate
    for _candidate in $(seq "$2" "$3"); do
        case $TAKEN_PORTS in *" $_candidate "*) continue ;; esac
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$_candidate") 2>/dev/null; then
            TAKEN_PORTS+="$_candidate "
            printf -v "$1" '%s' "$_candidate"
            return 0
        fi
    done
    echo "no free port in $2-$3" >&2
    exit 1
}

# write_irc_config DIR PORT NAME SID [LINK_PORT PEER_NAME PEER_LINK_PORT PASSWORD]: the
# tests' InspIRCd configuration in DIR/inspircd.conf; with the link arguments, as one of a
# linked pair.
write_irc_config() {
    mkdir -p "$1"
    sed -e "s|@PORT@|$2|g" -e "s|@DIR@|$1|g" -e "s|@NAME@|$3|g" -e "s|@SID@|$4|g" \
        "$ROOT/tests/chat/inspircd.conf.in" >"$1/inspircd.conf"
    if [ -n "${5:-}" ]; then
        sed -e "s|@LINKPORT@|$5|g" -e "s|@PEERNAME@|$6|g" -e "s|@PEERLINKPORT@|$7|g" \
            -e "s|@LINKPASS@|$8|g" "$ROOT/tests/chat/inspircd-link.conf.in" >>"$1/inspircd.conf"
    fi
}

# run_irc_server DIR PORT: InspIRCd with DIR's configuration, in the foreground of its own
# process, once PORT takes connections; sets IRC_LAST_PID. Also starts a killed one again.
run_irc_server() {
    local args=(--config="$1/inspircd.conf" --nofork)
    [ "$(id -u)" -eq 0 ] && args+=(--runasroot)
    PATH="$PATH:/usr/sbin" inspircd "${args[@]}" >>"$1/server.log" 2>&1 &
    IRC_LAST_PID=$!
    DEMO_PIDS+=("$!")
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$2") 2>/dev/null && break
        sleep 0.1
    done
}

# start_irc_server DIR: a local InspIRCd on a free loopback port, with the tests'
# configuration; sets IRC_PORT, IRC_DIR and IRC_PID.
start_irc_server() {
    take_port IRC_PORT 16667 16767
    IRC_DIR=$1/irc
    write_irc_config "$IRC_DIR" "$IRC_PORT" irc.test 1AA
    run_irc_server "$IRC_DIR" "$IRC_PORT"
    IRC_PID=$IRC_LAST_PID
}

# start_linked_irc_servers DIR: two InspIRCds linked into one network, irc1.test and
# irc2.test, each retrying the link every second while the other is away. Sets IRC_PORT,
# IRC_DIR and IRC_PID for the first, IRC_PORT2, IRC_DIR2 and IRC_PID2 for the second, and
# IRC_SERVERS, the list of both; returns once they are linked.
start_linked_irc_servers() {
    local link1 link2 password
    take_port IRC_PORT 16667 16767
    take_port IRC_PORT2 16667 16767
    take_port link1 17667 17767
    take_port link2 17667 17767
    password=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
    IRC_DIR=$1/irc1
    IRC_DIR2=$1/irc2
    write_irc_config "$IRC_DIR" "$IRC_PORT" irc1.test 1AA "$link1" irc2.test "$link2" "$password"
    write_irc_config "$IRC_DIR2" "$IRC_PORT2" irc2.test 2BB "$link2" irc1.test "$link1" "$password"
    run_irc_server "$IRC_DIR" "$IRC_PORT"
    IRC_PID=$IRC_LAST_PID
    run_irc_server "$IRC_DIR2" "$IRC_PORT2"
    IRC_PID2=$IRC_LAST_PID
    IRC_SERVERS="127.0.0.1:$IRC_PORT,127.0.0.1:$IRC_PORT2"
    for _ in $(seq 40); do
        irc_linked "$IRC_PORT" irc2.test && return 0
        sleep 0.5
    done
    echo "the two IRC servers did not link" >&2
    exit 1
}

# irc_linked PORT NAME: a client of the server on PORT finds the server NAME in its
# network (LINKS), within 10 s.
irc_linked() {
    local line found=1 end=$((SECONDS + 10))
    exec 5<>"/dev/tcp/127.0.0.1/$1" || return 1
    printf 'NICK linkwatch%s\r\nUSER linkwatch 8 * :linkwatch\r\n' "$RANDOM" >&5
    while [ "$SECONDS" -lt "$end" ] && IFS= read -r -t 5 line <&5; do
        case $line in
            *" 001 "*) printf 'LINKS\r\n' >&5 ;;
            *" 364 "*" $2 "*) found=0 && break ;;
            *" 365 "*) break ;;
            PING*) printf 'PONG %s\r\n' "${line#PING }" >&5 ;;
        esac
    done
    printf 'QUIT\r\n' >&5 2>/dev/null || true
    exec 5>&-
    return $found
}

# register_demo_user NAME PASSWORD: an account on the service (an existing one is fine).
register_demo_user() {
    curl -fsS --cacert "$VOCALON_EXTRA_CA_FILE" \
        "$SERVICE_URL/cgi-local/register2.pl?username=$1&password=$2&email=$1@example.org" >/dev/null
}

# write_demo_settings CONFIG_HOME NAME PASSWORD APP_DIR: a settings store that logs in by itself.
write_demo_settings() {
    mkdir -p "$1/Talvex"
    cat >"$1/Talvex/vocalon.ini" <<INI
[Prefs]
AppDir=$4
username=$2
password=$3
autologin=1
INI
    chmod 600 "$1/Talvex/vocalon.ini"
}

# start_user NAME ADDRESS DIR BINARY [form]: a client for NAME speaking from ADDRESS, with
# settings, runtime, web-engine and working directories of its own under DIR, its output
# in DIR/client.log. It logs in by itself, or with "form" waits for the login form to be
# filled in. Sets PID[NAME].
declare -A PID
start_user() {
    local dir=$3
    mkdir -p "$dir/run"
    chmod 700 "$dir/run"
    register_demo_user "$1" "$1-password"
    if [ "${5:-}" = form ]; then
        mkdir -p "$dir/config/Talvex"
        printf '[Prefs]\nAppDir=%s\n' "$dir" >"$dir/config/Talvex/vocalon.ini"
    else
        write_demo_settings "$dir/config" "$1" "$1-password" "$dir"
    fi
    choose_demo_sources "$1" "$dir"
    (cd "$dir" && XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/run" \
        XDG_DATA_HOME="$dir/data" XDG_CACHE_HOME="$dir/cache" \
        VOCALON_PEER_BIND="$2" exec "$4" >"$dir/client.log" 2>&1) &
    PID[$1]=$!
    DEMO_PIDS+=("$!")
}

# choose_demo_sources NAME APP_DIR: the user reads the service's ordinary sources.
choose_demo_sources() {
    curl -fsS "http://$SERVICE_HOST/feed_list/in_feeds.txt" | grep -v '(' |
        sed 's/<!!div!!>.*$/\r/' >"$2/$1_out_feeds.txt"
}

# A virtual X screen with a window manager (title bars, minimise, work area) and a tray
# host at the bottom right that reserves its strip, so windows keep clear of it; sets DISPLAY.
# start_virtual_desktop [WIDTHxHEIGHT]: 1280x800 unless given.
start_virtual_desktop() {
    local number size=${1:-1280x800}
    for number in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] || break
    done
    Xvfb ":$number" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    DEMO_PIDS+=("$!")
    export DISPLAY=":$number"
    for _ in $(seq 50); do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
    done
    openbox >/dev/null 2>&1 &
    DEMO_PIDS+=("$!")
    sleep 1
    trayer --edge bottom --align right --widthtype request --height 32 \
        --SetPartialStrut true --SetDockType true \
        --transparent false --tint 0x303030 >/dev/null 2>&1 &
    DEMO_PIDS+=("$!")
    sleep 1
}

# The windows of one client, found with xdotool on the virtual desktop. Each prints a
# window id, or nothing when the window is not there.

# tray_icon_of PID: the client's tray icon, the only small window it has.
tray_icon_of() {
    local w
    for w in $(xdotool search --all --pid "$1" --class vocalon 2>/dev/null || true); do
        eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)"
        if [ "${WIDTH:-999}" -lt 64 ] && [ "${WIDTH:-0}" -gt 8 ]; then
            echo "$w"
            return 0
        fi
    done
}

# window_of PID REGEX: the client's newest window whose name matches.
window_of() {
    { xdotool search --all --onlyvisible --pid "$1" --name "$2" 2>/dev/null || true; } | tail -n 1
}

# open_news_window PID: clicks the client's tray icon until its news window shows (until it
# has logged in and checked the news, a click shows the login form instead).
open_news_window() {
    local icon news=""
    for _ in $(seq 12); do
        icon=$(tray_icon_of "$1")
        if [ -n "$icon" ]; then
            eval "$(xdotool getwindowgeometry --shell "$icon" 2>/dev/null)"
            xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1 2>/dev/null || true
        fi
        sleep 3
        news=$(window_of "$1" "^Latest News - ")
        [ -n "$news" ] && break
    done
    echo "$news"
}

# open_first_headline PID NEWS_WINDOW: clicks the headline shown first and prints the id of
# the chat window that opens (a window named after the headline).
open_first_headline() {
    local w name
    xdotool key --window "$2" --clearmodifiers Delete 2>/dev/null || true
    sleep 1
    xdotool mousemove --window "$2" 40 64 click 1 2>/dev/null || true
    for _ in $(seq 20); do
        sleep 0.5
        for w in $(xdotool search --all --onlyvisible --pid "$1" --class vocalon 2>/dev/null || true); do
            name=$(xdotool getwindowname "$w" 2>/dev/null || true)
            case $name in "" | vocalon | Vocalon | "Latest News"*) ;; *)
                eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)"
                [ "${WIDTH:-0}" -gt 200 ] && { echo "$w"; return 0; } ;;
            esac
        done
    done
}

# click_join CHAT_WINDOW: "Join...", at the bottom right of the chat window.
click_join() {
    local WIDTH=640 HEIGHT=600
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null)"
    xdotool mousemove --window "$1" $((WIDTH - 75)) $((HEIGHT - 36)) click 1 2>/dev/null || true
}

# activate WINDOW: brings it to the front first, as windows of several clients overlap
# and a click lands on whatever is on top.
activate() { timeout 5 xdotool windowactivate --sync "$1" 2>/dev/null || true; }

# say CHAT_WINDOW TEXT: types into the input box that joining shows below the chat pane.
say() {
    local HEIGHT=600
    activate "$1"
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null)"
    xdotool mousemove --window "$1" 100 $((HEIGHT - 40)) click 1 2>/dev/null || true
    xdotool type --delay 20 "$2" 2>/dev/null || true
    xdotool key Return 2>/dev/null || true
}

# alert_of PID: the client's alert window: no title of its own (so the toolkit names it
# after the program), bigger than the tray icon.
alert_of() {
    local w
    for w in $(xdotool search --all --onlyvisible --pid "$1" --class vocalon 2>/dev/null || true); do
        eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)"
        if [ "${WIDTH:-0}" -ge 64 ] && [ "${WIDTH:-999}" -lt 300 ] &&
            [ "$(xdotool getwindowname "$w" 2>/dev/null)" = vocalon ]; then
            echo "$w"
            return 0
        fi
    done
}
