#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own, or of another
# folder of its own layer. Layers, lowest first: platform, util, gui, hub, peer, ui,
# news/chat, app. The peer network is protocol code under the windows, so
# the chat window and the alert can carry its events. Tests, tools and benchmarks may
# include anything.
set -euo pipefail
cd "$(dirname "$0")/.."

rank() {
    case $1 in
        platform) echo 0 ;;
        gui) echo 2 ;;
        util) echo 1 ;;
        hub) echo 3 ;;
        peer) echo 4 ;;
        ui) echo 5 ;;
        news | chat) echo 6 ;;
        app) echo 7 ;;
        *) echo "" ;;
    esac
}

folder_of() { echo "${1%%/*}"; }

failures=0
while IFS= read -r file; do
    own=$(folder_of "$file")
    own_rank=$(rank "$own")
    [ -n "$own_rank" ] || continue
    while IFS= read -r included; do
        other=$(folder_of "$included")
        other_rank=$(rank "$other")
        [ -n "$other_rank" ] || continue
        if [ "$other_rank" -gt "$own_rank" ] ||
            { [ "$other_rank" -eq "$own_rank" ] && [ "$other" != "$own" ]; }; then
            echo "layering: $file includes $included ($own may not include $other)"
            failures=$((failures + 1))
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files '*.h' '*.cpp')

if [ "$failures" -gt 0 ]; then
    echo "layering check failed: $failures upward or sideways include(s)"
    exit 1
fi
echo "layering check passed"
