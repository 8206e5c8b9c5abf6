#!/usr/bin/env bash
# Fails when a source file reaches into a layer above its own, or into another folder of
# its own layer: by an include, or by a forward declaration ("class X;") of a class that a
# higher or sideways folder defines, which compiles unseen until the cycle it hides closes.
# Layers, lowest first: platform, util, gui, hub, peer, ui, news/chat, app. The peer
# network is protocol code under the windows, so the chat window and the alert can carry
# its events. Tests, tools and benchmarks may use anything.
set -euo pipefail
cd "$(dirname "$0")/.."

rank() {
    case $1 in
        platform) echo 0 ;;
        util) echo 1 ;;
        gui) echo 2 ;;
        hub) echo 3 ;;
        peer) echo 4 ;;
        ui) echo 5 ;;
        news | chat) echo 6 ;;
        app) echo 7 ;;
        *) echo "" ;;
    esac
}

# Whether a file of folder $1 may use folder $2.
may_use() {
    local own_rank other_rank
    own_rank=$(rank "$1")
    other_rank=$(rank "$2")
    [ -z "$own_rank" ] || [ -z "$other_rank" ] || [ "$other_rank" -lt "$own_rank" ] ||
        [ "$1" = "$2" ]
}

sources=$(git ls-files '*.h' '*.cpp')

# Where each class is defined: "name folder" for every class or struct defined at the top
# level of a layer's header.
declare -A defined_in
while read -r name folder; do
    defined_in[$name]=$folder
done < <(for file in $(printf '%s\n' "$sources" | grep '\.h$'); do
    folder=${file%%/*}
    [ -n "$(rank "$folder")" ] || continue
    sed -n 's/^\(class\|struct\) \([A-Za-z_][A-Za-z0-9_]*\)\( final\)\? *[:{].*/\2/p' "$file" |
        sed "s|\$| $folder|"
done)

failures=0
fail() {
    echo "layering: $1"
    failures=$((failures + 1))
}
while IFS= read -r file; do
    own=${file%%/*}
    [ -n "$(rank "$own")" ] || continue
    while IFS= read -r included; do
        other=${included%%/*}
        may_use "$own" "$other" || fail "$file includes $included ($own may not include $other)"
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
    while IFS= read -r declared; do
        other=${defined_in[$declared]:-}
        [ -n "$other" ] || continue
        may_use "$own" "$other" ||
            fail "$file declares class $declared of $other ($own may not use $other)"
    done < <(sed -n 's/^[[:space:]]*\(class\|struct\)[[:space:]]\+\([A-Za-z_][A-Za-z0-9_]*\)[[:space:]]*;.*/\2/p' "$file")
done <<<"$sources"

if [ "$failures" -gt 0 ]; then
    echo "layering check failed: $failures upward or sideways use(s)"
    exit 1
fi
echo "layering check passed"
