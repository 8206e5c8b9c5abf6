#!/usr/bin/env bash
# The password in the desktop's keyring. On a session bus of its own with an unlocked GNOME
# Keyring: a client whose settings hold the password logs in over https, moves the password
# to the keyring and out of the settings file; started again, it logs in by itself with the
# password read from the keyring. Without a session bus (no keyring) a client logs in and the
# settings file keeps the password. The clients run offscreen; no display is needed.
#
# Usage: keyring.sh CLIENT_BINARY SERVICE_BINARY. KEEP=1 keeps the work directory.
# Skipped (77) when no bus or keyring can be started here.
set -euo pipefail
skip() { echo "SKIP: $*"; exit 77; }
if [ -z "${VOCALON_KEYRING_BUS:-}" ]; then
    command -v dbus-run-session >/dev/null || skip "dbus-run-session is not installed (Debian dbus)"
    command -v gnome-keyring-daemon >/dev/null ||
        skip "gnome-keyring-daemon is not installed (Debian gnome-keyring)"
    VOCALON_KEYRING_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
CLIENT=$1
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
source "$ROOT/tests/e2e/e2e-lib.sh"
E2E_USERS=""

# The keyring's files and sockets stay in the work directory; the password unlocks it.
export XDG_DATA_HOME="$WORK/keyring-data" XDG_RUNTIME_DIR="$WORK/keyring-run"
mkdir -p "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
printf 'keyring-password' | gnome-keyring-daemon --foreground --unlock --components=secrets \
    >"$WORK/keyring.log" 2>&1 &
DEMO_PIDS+=("$!")
secrets_on_bus() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
        grep -q "boolean true"
}
wait_until 10 secrets_on_bus ||
    skip "gnome-keyring-daemon did not start: $(tr '\n' ' ' <"$WORK/keyring.log")"

start_service "$2" "$WORK"
register_demo_user ann ann-password
for PEER_PORT in $(seq 24630 24730); do
    (exec 3<>"/dev/tcp/127.0.0.1/$PEER_PORT") 2>/dev/null || break
done

# run_client NAME [no-bus]: the client for ann with the settings of WORK/NAME, logging in by
# itself; its output goes to WORK/NAME/client.log. Sets PID[NAME].
run_client() {
    local dir="$WORK/$1" env=(env)
    [ "${2:-}" = no-bus ] && env=(env -u DBUS_SESSION_BUS_ADDRESS)
    mkdir -p "$dir/run"
    chmod 700 "$dir/run"
    (cd "$dir" && exec "${env[@]}" XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/run" \
        QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="vocalon.net=true;vocalon.app=true" \
        VOCALON_SERVICE_HOST="$SERVICE_URL" VOCALON_IRC_HOST=127.0.0.1 VOCALON_IRC_PORT=1 \
        VOCALON_PEER_BIND=127.0.0.1 VOCALON_PEER_PORT="$PEER_PORT" "$CLIENT" >"$dir/client.log" 2>&1) &
    PID[$1]=$!
    DEMO_PIDS+=("$!")
}
stop_client() {
    kill "${PID[$1]}"
    wait "${PID[$1]}" 2>/dev/null || true
}
ini() { cat "$WORK/$1/config/Talvex/vocalon.ini"; }
logged_in() { log_has "$1" "login: errorcode \"0\""; }

# A password from the settings file moves to the keyring at the next successful log-in.
E2E_USERS=first
write_demo_settings "$WORK/first/config" ann ann-password "$WORK/first"
run_client first
wait_until 30 logged_in first || fail "the client did not log in"
wait_until 10 log_has first "password stored in the keyring" || fail "the keyring did not take the password"
log_has first "GET https://$SERVICE_HOST/cgi-local/login2.pl" || fail "the log-in did not go over https"
! log_has first "GET http://$SERVICE_HOST" || fail "a request went to the service in the clear"
stop_client first
! ini first | grep -q '^password=' || fail "the settings file still holds the password: $(ini first)"
ini first | grep -q '^password_in_keyring=1' || fail "the settings file does not say where it is"
secret-tool lookup user ann server vocalon | grep -qx ann-password ||
    fail "the keyring has no password for ann"

# Started again, the client logs in by itself with the keyring's password.
E2E_USERS=first
: >"$WORK/first/client.log"
run_client first
wait_until 30 logged_in first || fail "the client did not log in with the keyring's password"
log_has first "password read from the keyring" || fail "the password was not read from the keyring"
stop_client first

# Without a keyring the settings file keeps the password.
E2E_USERS=nobus
write_demo_settings "$WORK/nobus/config" ann ann-password "$WORK/nobus"
run_client nobus no-bus
wait_until 30 logged_in nobus || fail "the client without a keyring did not log in"
wait_until 10 log_has nobus "the settings file keeps it" || fail "the client did not keep the password"
stop_client nobus
ini nobus | grep -qx 'password=ann-password' || fail "the password left the settings file: $(ini nobus)"
ini nobus | grep -q '^password_in_keyring=0' || fail "the settings file says the keyring has it"
echo "PASS: the password moves to the keyring and logs in from there; without one the settings file keeps it"
