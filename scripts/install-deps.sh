#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, only those missing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-qpa-plugins
    libsqlite3-dev libqt6sql6-sqlite libicu-dev
    python3-pyftpdlib curl
    fonts-liberation2 fontconfig
)
if [ "${1:-}" = "--demo" ]; then
    packages+=(xvfb xdotool x11-apps imagemagick)
fi
if [ "${1:-}" = "--fuzz" ]; then
    packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update
    "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
