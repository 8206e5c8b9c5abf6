#!/usr/bin/env bash
# Builds Vocalon optimised and packs it into a Debian package: the client, its menu entry
# and its icons, with the dependencies dpkg-shlibdeps finds. Prints the package's path.
#
#   bash tools/package.sh [BUILD_DIR]              (default: build-pkg)
#   sudo apt-get install ./build-pkg/vocalon_*.deb  (apt pulls the dependencies)
set -euo pipefail
BUILD_DIR=$(realpath -m "${1:-$(dirname "$0")/../build-pkg}")
cd "$(dirname "$0")/.."

bash tools/deps.sh
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DVOCALON_TESTS=OFF \
    -DVOCALON_BENCH=OFF -DVOCALON_SANITIZE=OFF >/dev/null
cmake --build "$BUILD_DIR"
cd "$BUILD_DIR"
rm -f vocalon_*.deb
cpack -G DEB >/dev/null
ls "$BUILD_DIR"/vocalon_*.deb
