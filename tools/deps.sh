#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing, packaging and the demo need.
# Runs apt only when something is missing; uses sudo when not root.
set -euo pipefail

PACKAGES=(
    cmake ninja-build g++ pkg-config clang-format git dpkg-dev file libcap2-bin iproute2
    clang libfuzzer-14-dev
    qt6-base-dev qt6-base-private-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins qt6-webengine-dev fonts-dejavu-core
    libcurl4-openssl-dev libgtest-dev libgmock-dev
    libcpp-httplib-dev libsqlite3-dev libsodium-dev libpq-dev postgresql
    inspircd
    xvfb xauth openbox trayer imagemagick x11-utils xdotool curl
    qtkeychain-qt6-dev libcanberra-dev libssl-dev openssl dbus gnome-keyring libsecret-tools
    lintian desktop-file-utils appstream
    qt6-wayland sway wtype grim jq dbus-daemon dbus-bin
)

missing=()
for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=()
[ "$(id -u)" -ne 0 ] && SUDO=(sudo)
echo "Installing: ${missing[*]}"
"${SUDO[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${SUDO[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
