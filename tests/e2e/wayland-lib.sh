# Sourced by the Wayland end-to-end scripts after tools/demo-lib.sh and e2e-lib.sh: a
# headless Wayland desktop (sway) with a private session bus, and the Wayland equivalents
# of the xdotool helpers: windows from sway's tree, clicks through sway's seat, keys with
# wtype, screenshots with grim. WORK must be set.

# start_wayland_desktop: sway without outputs or input devices of its own, at 1280x800;
# sets WAYLAND_DISPLAY (an absolute path) and SWAYSOCK. Sway refuses to run as root, so
# root runs it as nobody; root's clients may still use its sockets. Returns 1 when it does
# not start.
start_wayland_desktop() {
    command -v sway >/dev/null || return 1
    local dir=$WORK/sway run=()
    mkdir -p "$dir/run"
    chmod 755 "$WORK" "$dir"
    printf '%s\n' 'output HEADLESS-1 resolution 1280x800' 'default_border normal' \
        'focus_on_window_activation focus' >"$dir/config"
    if [ "$(id -u)" -eq 0 ]; then
        chown nobody "$dir/run"
        run=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    fi
    chmod 700 "$dir/run"
    (cd "$dir" && HOME=$dir XDG_RUNTIME_DIR=$dir/run WLR_BACKENDS=headless \
        WLR_LIBINPUT_NO_DEVICES=1 WAYLAND_DISPLAY= DISPLAY= exec "${run[@]}" sway -c "$dir/config" \
        >"$dir/sway.log" 2>&1) &
    DEMO_PIDS+=("$!")
    for _ in $(seq 100); do
        if [ -S "$dir/run/wayland-1" ] && ls "$dir"/run/sway-ipc.*.sock >/dev/null 2>&1; then
            export WAYLAND_DISPLAY=$dir/run/wayland-1
            SWAYSOCK=$(ls "$dir"/run/sway-ipc.*.sock | head -n 1)
            export SWAYSOCK
            swaymsg -t get_version >/dev/null 2>&1 && return 0
        fi
        sleep 0.1
    done
    return 1
}

# start_session_bus: a private session bus for everything started after it.
# It starts no services by itself: a keyring daemon activated on the first request would
# ask for a password on a screen it cannot open.
start_session_bus() {
    cat >"$WORK/bus.conf" <<'EOF'
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
    dbus-daemon --config-file="$WORK/bus.conf" --nofork --nopidfile --print-address=1 \
        >"$WORK/bus.address" &
    DEMO_PIDS+=("$!")
    for _ in $(seq 50); do
        [ -s "$WORK/bus.address" ] && break
        sleep 0.1
    done
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$WORK/bus.address")
    export DBUS_SESSION_BUS_ADDRESS
    [ -n "$DBUS_SESSION_BUS_ADDRESS" ]
}

# wl_window PID REGEX: "x y width height" of the content of the client's newest window
# whose title matches, on the screen; nothing when it is not mapped.
wl_window() {
    swaymsg -t get_tree 2>/dev/null | jq -r --argjson pid "$1" --arg re "$2" '
        [.. | objects | select(.pid? == $pid and ((.name // "") | test($re)))] |
        sort_by(.id) | last // empty |
        "\(.rect.x + .window_rect.x) \(.rect.y + .window_rect.y) \(.window_rect.width) \(.window_rect.height)"'
}
wl_has_window() { [ -n "$(wl_window "$1" "$2")" ]; }
wl_no_window() { [ -z "$(wl_window "$1" "$2")" ]; }
# wl_titles PID: the titles of the client's mapped windows, one a line.
wl_titles() {
    swaymsg -t get_tree 2>/dev/null |
        jq -r --argjson pid "$1" '.. | objects | select(.pid? == $pid) | .name // ""'
}

# wl_focus PID REGEX: gives the window the keyboard, and waits until the compositor says
# it has it (a busy client takes its time; keys typed before are lost).
wl_focus() {
    swaymsg -q "[pid=$1 title=\"$2\"] focus" 2>/dev/null
    wait_until 10 wl_is_focused "$1" "$2"
}
wl_is_focused() {
    swaymsg -t get_tree 2>/dev/null | jq -e --argjson pid "$1" --arg re "$2" \
        '[.. | objects | select(.focused? == true and .pid? == $pid and ((.name // "") | test($re)))] | length > 0' \
        >/dev/null
}

# wl_shot FILE [PID REGEX]: the screen, or one window's content.
wl_shot() {
    if [ $# -ge 3 ]; then
        local x y w h
        read -r x y w h <<<"$(wl_window "$2" "$3")"
        [ -n "$w" ] && grim -g "$x,$y ${w}x$h" "$1" 2>/dev/null
    else
        grim "$1" 2>/dev/null
    fi
}
