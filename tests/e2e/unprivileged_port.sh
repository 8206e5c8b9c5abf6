#!/usr/bin/env bash
# The package of this build: lintian finds no errors in it; installed with apt, its menu
# entry passes desktop-file-validate, its AppStream data appstreamcli and its manual page is
# there; and it lets an ordinary user's client open the privileged peer port: a client run
# by an unprivileged user logs in to the reference service and must listen on its peer
# port. Without the capability the same client must say that it cannot. The package is removed again at the end. The port is
# a free one below 1024 rather than 443 itself, which other tests running as root may hold
# on all addresses; the capability covers every port below 1024 alike.
#
# Usage: unprivileged_port.sh BUILD_DIR SERVICE_BINARY. KEEP=1 keeps the work directory.
# Needs root (it installs a package and runs a client as another user); skipped otherwise.
set -euo pipefail
BUILD=$1
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
WORK=$(mktemp -d)
chmod 755 "$WORK"
source "$ROOT/tests/e2e/e2e-lib.sh"
RUNNER=vocalon-e2e
ADDRESS=127.0.0.5
CREATED_USER=""
cleanup() {
    kill "${DEMO_PIDS[@]}" 2>/dev/null || true
    pkill -u "$RUNNER" -x vocalon 2>/dev/null || true
    wait 2>/dev/null || true
    dpkg-query -W vocalon >/dev/null 2>&1 && apt-get remove -y -qq vocalon >/dev/null 2>&1
    [ -n "$CREATED_USER" ] && userdel -r "$RUNNER" 2>/dev/null
    [ -n "${KEEP:-}" ] || rm -rf "$WORK"
}
trap cleanup EXIT
E2E_USERS=""

skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "installing the package and switching users needs root"
if dpkg-query -W -f='${Status}' vocalon 2>/dev/null | grep -q "install ok installed"; then
    skip "a vocalon package is installed on this machine; the test does not replace it"
fi

(cd "$BUILD" && cpack -G DEB -B "$WORK/pkg" >"$WORK/cpack.log" 2>&1) ||
    { cat "$WORK/cpack.log" >&2; fail "the package could not be built"; }
DEB=$(ls "$WORK"/pkg/vocalon_*.deb)
# Debian's own checks of the package: an error fails the test, warnings are shown.
lintian --fail-on error "$DEB" >"$WORK/lintian.log" 2>&1 ||
    { cat "$WORK/lintian.log" >&2; fail "lintian finds errors in $DEB"; }
grep -v '^N: ' "$WORK/lintian.log" || true
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$DEB" \
    >"$WORK/apt.log" 2>&1 || { cat "$WORK/apt.log" >&2; fail "apt could not install $DEB"; }
# The installed menu entry, software centre data and manual page.
desktop-file-validate /usr/share/applications/vocalon.desktop ||
    fail "the installed menu entry does not validate"
appstreamcli validate --no-net /usr/share/metainfo/net.vocalon.Vocalon.metainfo.xml \
    >"$WORK/appstream.log" 2>&1 ||
    { cat "$WORK/appstream.log" >&2; fail "the installed AppStream data does not validate"; }
gzip -t /usr/share/man/man1/vocalon.1.gz || fail "no manual page installed"
getcap /usr/bin/vocalon | grep -q cap_net_bind_service ||
    fail "the installed binary may not open privileged ports: $(getcap /usr/bin/vocalon)"

if ! id "$RUNNER" >/dev/null 2>&1; then
    useradd --create-home --shell /usr/sbin/nologin "$RUNNER"
    CREATED_USER=1
fi
HOME_DIR=$(getent passwd "$RUNNER" | cut -d: -f6)

PORT=""
for candidate in $(seq 900 1000); do
    [ -z "$(ss -ltnH "sport = :$candidate")" ] && { PORT=$candidate; break; }
done
[ -n "$PORT" ] || fail "no free port below 1024"
start_service "$2" "$WORK"
register_demo_user ann ann-password
# run_client NAME: the installed client as the unprivileged user, logging in as ann by
# itself, with a closed IRC port; its output goes to WORK/NAME/client.log.
run_client() {
    local dir="$WORK/$1"
    mkdir -p "$dir/run"
    chmod 700 "$dir/run"
    write_demo_settings "$dir/config" ann ann-password "$dir"
    chown -R "$RUNNER" "$dir"
    # A program with file capabilities cannot be traced, which the leak checker needs.
    (cd "$dir" && exec runuser -u "$RUNNER" -- env HOME="$HOME_DIR" XDG_CONFIG_HOME="$dir/config" \
        XDG_RUNTIME_DIR="$dir/run" QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="vocalon.net=true" \
        ASAN_OPTIONS=detect_leaks=0 VOCALON_SERVICE_HOST="$SERVICE_URL" \
        VOCALON_EXTRA_CA_FILE="$VOCALON_EXTRA_CA_FILE" \
        VOCALON_IRC_HOST=127.0.0.1 VOCALON_IRC_PORT=1 VOCALON_PEER_BIND="$ADDRESS" VOCALON_PEER_PORT="$PORT" \
        /usr/bin/vocalon >"$dir/client.log" 2>&1) &
    PID[$1]=$!
    DEMO_PIDS+=("$!")
}
listening_as_runner() {
    local pid
    pid=$(ss -ltnpH "src $ADDRESS:$PORT" | grep -o 'pid=[0-9]*' | head -n 1 | cut -d= -f2)
    [ -n "$pid" ] && [ "$(stat -c %U "/proc/$pid")" = "$RUNNER" ]
}

E2E_USERS=with_capability
run_client with_capability
wait_until 30 log_has with_capability "login: errorcode \"0\"" || fail "the client did not log in"
wait_until 10 listening_as_runner || fail "no process of $RUNNER listens on $ADDRESS:$PORT"
kill "${PID[with_capability]}"
wait "${PID[with_capability]}" 2>/dev/null || true

E2E_USERS=without_capability
setcap -r /usr/bin/vocalon
run_client without_capability
wait_until 30 log_has without_capability "login: errorcode \"0\"" || fail "the client did not log in"
wait_until 10 log_has without_capability "cannot listen on port $PORT error 13" ||
    fail "the client did not notice that it cannot listen"
echo "PASS: the installed client listens on port $PORT as $RUNNER, and says so when it cannot"
