# Sourced by the demo scripts. Everything started here stops when the script exits.

DEMO_PIDS=()
trap 'kill "${DEMO_PIDS[@]}" 2>/dev/null || true; wait 2>/dev/null || true' EXIT

# start_service BINARY DIR: the reference service on a free loopback port; sets SERVICE_HOST.
start_service() {
    local binary=$1 dir=$2 line=""
    rm -f "$dir/service.port"
    "$binary" --port 0 --db "$dir/service.db" >"$dir/service.port" 2>"$dir/service.log" &
    DEMO_PIDS+=("$!")
    for _ in $(seq 100); do
        line=$(head -n 1 "$dir/service.port" 2>/dev/null || true)
        [ -n "$line" ] && break
        sleep 0.1
    done
    SERVICE_HOST=${line#listening on }
    [ -n "$SERVICE_HOST" ] || { echo "the reference service did not start" >&2; exit 1; }
}

# start_irc_server DIR: a local InspIRCd on a free loopback port, in the foreground of its
# own process, with the tests' configuration; sets IRC_PORT.
start_irc_server() {
    local dir=$1 port
    for port in 6667 $(seq 16667 16767); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
    done
    mkdir -p "$dir/irc"
    sed -e "s|@PORT@|$port|g" -e "s|@DIR@|$dir/irc|g" "$ROOT/tests/chat/inspircd.conf.in" \
        >"$dir/irc/inspircd.conf"
    local args=(--config="$dir/irc/inspircd.conf" --nofork)
    [ "$(id -u)" -eq 0 ] && args+=(--runasroot)
    PATH="$PATH:/usr/sbin" inspircd "${args[@]}" >"$dir/irc/server.log" 2>&1 &
    DEMO_PIDS+=("$!")
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
        sleep 0.1
    done
    IRC_PORT=$port
}

# register_demo_user NAME PASSWORD: an account on the service (an existing one is fine).
register_demo_user() {
    curl -fsS "http://$SERVICE_HOST/cgi-local/register2.pl?username=$1&password=$2&email=$1@example.org" >/dev/null
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

# choose_demo_sources NAME APP_DIR: the user reads the service's ordinary sources.
choose_demo_sources() {
    curl -fsS "http://$SERVICE_HOST/feed_list/in_feeds.txt" | grep -v '(' |
        sed 's/<!!div!!>.*$/\r/' >"$2/$1_out_feeds.txt"
}

# A virtual X screen with a window manager (title bars, minimise, work area) and a tray
# host at the bottom right that reserves its strip, so windows keep clear of it; sets DISPLAY.
start_virtual_desktop() {
    local number
    for number in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] || break
    done
    Xvfb ":$number" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
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
