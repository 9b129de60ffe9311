#!/usr/bin/env bash
# Installs the Debian packages Varnotel needs to build, run and test, when they are missing,
# and configures and builds the project in ./build.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ cmake make pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev
          libbenchmark-dev xvfb xauth xdotool x11-utils imagemagick fonts-wine fonts-liberation)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
