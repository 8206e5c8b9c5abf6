#!/usr/bin/env bash
# Installs what is needed, builds with AddressSanitizer and UBSan, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/deps.sh
cmake -S . -B build-test -G Ninja -DVOCALON_SANITIZE=ON -DVOCALON_BENCH=OFF
cmake --build build-test
cd build-test
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j2 --timeout 300
