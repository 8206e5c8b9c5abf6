#!/usr/bin/env bash
# Builds the fuzzing harnesses (clang, libFuzzer, AddressSanitizer and UBSan) and runs each
# for SECONDS from a copy of its seed inputs in tests/fuzz/corpus, so that the inputs it
# finds never land in the repository. Prints one line per harness; a crash fails the script
# and names the input that caused it, kept in the scratch directory.
#   bash tools/fuzz.sh [SECONDS=20]
# VOCALON_FUZZ_BUILD names the build directory (build-fuzz), VOCALON_FUZZ_WORK the
# scratch directory (a new temporary one, removed when every harness passed).
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_EACH=${1:-20}
BUILD=${VOCALON_FUZZ_BUILD:-build-fuzz}
HARNESSES=(fuzz_util fuzz_news fuzz_feeds fuzz_news_files fuzz_login fuzz_chat fuzz_peer)

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DVOCALON_FUZZ=ON -DVOCALON_TESTS=OFF -DVOCALON_BENCH=OFF >/dev/null
cmake --build "$BUILD" --target "${HARNESSES[@]}"

WORK=${VOCALON_FUZZ_WORK:-$(mktemp -d -t vocalon-fuzz.XXXXXX)}
failed=0
for harness in "${HARNESSES[@]}"; do
    corpus="$WORK/$harness/corpus"
    log="$WORK/$harness/log"
    rm -rf "${WORK:?}/$harness"
    mkdir -p "$corpus"
    cp tests/fuzz/corpus/"$harness"/* "$corpus"/
    # A crash, a leak, an input slower than 10 s or a process past 2 GB ends the run.
    status=0
    "$BUILD/tests/fuzz/$harness" -max_total_time="$SECONDS_EACH" -max_len=65536 -timeout=10 \
        -rss_limit_mb=2048 -malloc_limit_mb=2048 -artifact_prefix="$WORK/$harness/" \
        "$corpus" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log")
    if [ "$status" -eq 0 ]; then
        echo "fuzz: $harness: ${runs:-?} runs in ${SECONDS_EACH} s, no crash"
        continue
    fi
    failed=1
    input=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | head -n 1)
    echo "fuzz: $harness: FAILED (exit $status), input: ${input:-none written}, log: $log"
    grep -m 3 -E 'property failed|ERROR: |SUMMARY: ' "$log" | sed 's/^/    /' || true
done

if [ "$failed" -ne 0 ]; then
    echo "fuzz: failed; reproduce with $BUILD/tests/fuzz/<harness> <input>"
    exit 1
fi
[ -n "${VOCALON_FUZZ_WORK:-}" ] || rm -rf "$WORK"
echo "fuzz: passed"
