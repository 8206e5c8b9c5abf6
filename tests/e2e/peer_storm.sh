#!/usr/bin/env bash
# Peers that accept and close must not drive clients into asking the service for peer
# lists over and over. Two whole clients run without windows against the reference service
# and InspIRCd, each on its own loopback address with one peer port: b with every place for
# strangers taken by raw connections from 127.0.1.x, and a, whom b does not know and so
# accepts and closes. A listener on 127.0.0.4 that the service lists closes every
# connection. Each client may make at most 2 log-in requests (its log-in and one refresh)
# in the 60 s after a started.
#
# Usage: peer_storm.sh CLIENT_BINARY SERVICE_BINARY RAW_PEERS_BINARY. KEEP=1 keeps the logs.
set -euo pipefail
CLIENT=$1
RAW_PEERS=$3
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
source "$ROOT/tests/e2e/e2e-lib.sh"
E2E_USERS="a b"

start_servers "$2"
export QT_QPA_PLATFORM=offscreen VOCALON_NO_WEBENGINE=1
PORT=$VOCALON_PEER_PORT
# logins_from ADDRESS: the log-in requests the service has answered for that address.
logins_from() { grep -c " $1 GET /cgi-local/login2.pl" "$WORK/service.log" || true; }

# The hostile peer logs in from its address, so that the service hands it out.
"$RAW_PEERS" close 127.0.0.4 "$PORT" 150 >"$WORK/closer.log" 2>&1 &
DEMO_PIDS+=("$!")
register_demo_user mallory mallory-password
curl -fsS --interface 127.0.0.4 --cacert "$VOCALON_EXTRA_CA_FILE" \
    "$SERVICE_URL/cgi-local/login2.pl?username=mallory&password=mallory-password" >/dev/null

start_user b 127.0.0.3 "$WORK/b" "$CLIENT"
wait_until 30 log_has b "login: errorcode \"0\"" || fail "b did not log in"
wait_until 10 log_has b "peer: connect" || true
"$RAW_PEERS" hold 127.0.1 11 127.0.0.3 "$PORT" 150 >"$WORK/holder.log" 2>&1 &
DEMO_PIDS+=("$!")
wait_until 20 log_has b "peer: connected with 127.0.1.6" || fail "b's places for strangers were not taken"
sleep 3  # the other raw connections come in, or are refused

START=$SECONDS
start_user a 127.0.0.2 "$WORK/a" "$CLIENT"
wait_until 30 log_has a "login: errorcode \"0\"" || fail "a did not log in"
wait_until 20 log_has a "peer: connected with 127.0.0.3" || fail "a did not reach b"
sleep $((60 - (SECONDS - START)))

for who in "a 127.0.0.2" "b 127.0.0.3"; do
    set -- $who
    n=$(logins_from "$2")
    echo "$1 ($2): $n log-in requests; $(count_in_log "$1" "peer: connected with 127.0.0.4") connections to the closer"
    [ "$n" -le 2 ] || fail "$1 made $n log-in requests in 60 s"
done
log_has b "peer: refused 127.0.0.2" || fail "b did not close on a"
echo "PASS: a peer that closes and a full peer cost each client at most 2 log-in requests in 60 s"
