#!/usr/bin/env bash
# Installs what is needed, builds with AddressSanitizer and UBSan, fuzzes the readers
# briefly, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/deps.sh
cmake -S . -B build-test -G Ninja -DVOCALON_SANITIZE=ON -DVOCALON_BENCH=OFF
cmake --build build-test
# Every reader of outside bytes under libFuzzer for 20 s each (a separate clang build).
bash tools/fuzz.sh 20
cd build-test
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j2 --timeout 300
