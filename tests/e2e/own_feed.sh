#!/usr/bin/env bash
# One whole client on a virtual desktop, driven through what a person sees: a user with no
# sources opens the preferences from the tray menu, adds a source by the address of a web
# page (this script serves the page, which announces its RSS feed, the feed and the
# article), confirms, and the headline of the feed comes; Enter on it in the news window
# opens its room with the article's page.
#
# Usage: own_feed.sh CLIENT_BINARY SERVICE_BINARY
# Screenshots go to $E2E_ARTIFACTS, else e2e-artifacts in the working directory; KEEP=1
# keeps the logs. Built with AddressSanitizer, the client needs the web engine's settings
# (ASAN_OPTIONS, LSAN_OPTIONS) that CMakeLists.txt beside this script gives the test.
set -euo pipefail
CLIENT=$1
SERVICE=$2
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
ARTIFACTS=${E2E_ARTIFACTS:-$PWD/e2e-artifacts}
source "$ROOT/tests/e2e/e2e-lib.sh"
mkdir -p "$ARTIFACTS"
rm -f "$ARTIFACTS"/own-feed-*.png

E2E_USERS="c"
shot() { import -window root "$ARTIFACTS/own-feed-$1.png" 2>/dev/null || true; }
on_failure() {
    shot failure
    echo "--- web server" >&2
    tail -n 10 "$WORK/web.log" >&2 || true
}
# The user starts with no source chosen.
choose_demo_sources() { : >"$2/$1_out_feeds.txt"; }
has_tray() { [ -n "$(tray_icon_of "$1")" ]; }
served() { grep -q "\"GET $1 " "$WORK/web.log" 2>/dev/null; }

HEADLINE="Lighthouse keepers meet at dawn"
start_virtual_desktop
start_servers "$SERVICE"
export QT_LOGGING_RULES="vocalon.net=true;vocalon.app=true"
unset VOCALON_NO_WEBENGINE
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

# The site: a page that announces its feed, the feed with one item, and the article.
for WEB_PORT in $(seq 18080 18180); do
    (exec 3<>"/dev/tcp/127.0.0.1/$WEB_PORT") 2>/dev/null || break
done
SITE="http://127.0.0.1:$WEB_PORT"
mkdir -p "$WORK/site"
cat >"$WORK/site/index.html" <<HTML
<html><head><title>Lantern</title>
<link rel="alternate" type="application/rss+xml" title="Lantern" href="/feed.xml">
</head><body>The Lantern</body></html>
HTML
cat >"$WORK/site/feed.xml" <<XML
<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0"><channel><title>Lantern Weekly</title><link>$SITE/</link>
<item><title>$HEADLINE</title><link>/article.html</link>
<pubDate>$(LC_ALL=C date -u '+%a, %d %b %Y %H:%M:%S +0000')</pubDate></item>
</channel></rss>
XML
printf '<html><body><h1>%s</h1><p>%s</p></body></html>\n' "$HEADLINE" \
    "$(printf 'The keepers of the coast met before sunrise. %.0s' $(seq 40))" >"$WORK/site/article.html"
python3 -m http.server "$WEB_PORT" --bind 127.0.0.1 --directory "$WORK/site" >"$WORK/web.log" 2>&1 &
DEMO_PIDS+=("$!")
wait_until 10 curl -fsS -o /dev/null "$SITE/" || fail "the site did not start"

# 1. c logs in by itself with nothing chosen; the tray menu's "Prefs..." opens the sheet.
start_user c 127.0.0.2 "$WORK/c" "$CLIENT"
wait_until 30 log_has c "login: errorcode \"0\"" || fail "c did not log in"
wait_until 10 has_tray "${PID[c]}" || fail "c has no tray icon"
TRAY=$(tray_icon_of "${PID[c]}")
PREFS=""
for _ in 1 2 3; do
    eval "$(xdotool getwindowgeometry --shell "$TRAY")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
    sleep 1
    xdotool key Down Down Return
    wait_until 5 has_window "${PID[c]}" '^Prefs$' && { PREFS=$(window_of "${PID[c]}" '^Prefs$'); break; }
done
[ -n "$PREFS" ] || fail "the tray menu did not open the preferences"

# 2. "Add..." with the page's address: the feed it announces becomes an own source, chosen.
activate "$PREFS"
xdotool key alt+a
wait_until 10 has_window "${PID[c]}" '^Add a source$' || fail "Add... asked for no address"
activate "$(window_of "${PID[c]}" '^Add a source$')"
xdotool type --delay 10 "127.0.0.1:$WEB_PORT/"
xdotool key Return
wait_until 20 log_has c "sources: Added Lantern Weekly" || fail "the page's feed was not added"
served /feed.xml || fail "the feed was not read through the page's link"
shot 1-added
activate "$PREFS"
xdotool key Return
wait_until 10 grep -q "^Lantern Weekly<!!div!!>$SITE/feed.xml" "$WORK/c/c_own_feeds.txt" ||
    fail "OK did not keep the own source"
grep -q "^Lantern Weekly" "$WORK/c/c_out_feeds.txt" || fail "the own source is not chosen"

# 3. The next check brings the feed's headline; Enter on it opens its room and the page.
wait_until 30 log_has c "news: check done, 1 new" || fail "the own source brought no headline"
NEWS=$(open_news_window "${PID[c]}")
[ -n "$NEWS" ] || fail "c's news window did not open"
activate "$NEWS"
xdotool key Return
wait_until 20 has_window "${PID[c]}" "$HEADLINE" || fail "Enter opened no room for the headline"
CHAT=$(window_of "${PID[c]}" "$HEADLINE")
wait_until 30 served /article.html || fail "the room did not load the article"
sleep 2
shot 2-room
kill -0 "${PID[c]}" 2>/dev/null || fail "c's client has ended"
! grep -q -e "ERROR: AddressSanitizer" -e "runtime error:" "$WORK/c/client.log" ||
    fail "c's client reported a memory or undefined-behaviour error"
echo "PASS in ${SECONDS}s: a page's address added its feed as an own source, its headline came and Enter opened \"$(xdotool getwindowname "$CHAT")\" with the article"
