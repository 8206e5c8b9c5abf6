# Sourced by scripts that need a desktop without a display: a virtual X screen with a
# tray host. Everything started here stops when the calling script exits.

start_virtual_desktop() {
    local number
    for number in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] || break
    done
    Xvfb ":$number" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    VIRTUAL_PIDS=("$!")
    export DISPLAY=":$number"
    for _ in $(seq 50); do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
    done
    trayer --edge bottom --align right --widthtype request --height 32 \
        --transparent false --tint 0x303030 >/dev/null 2>&1 &
    VIRTUAL_PIDS+=("$!")
    sleep 1
    trap stop_virtual_desktop EXIT
}

stop_virtual_desktop() {
    kill "${VIRTUAL_PIDS[@]}" 2>/dev/null || true
    wait 2>/dev/null || true
}
