#!/usr/bin/env bash
# Installs the Debian packages that are missing, then configures and builds in ./build (or in
# $VARNOTEL_BUILD_DIR).
#   scripts/setup.sh editor            the editor alone
#   scripts/setup.sh editor headless   the editor and what it needs to run under Xvfb
#   scripts/setup.sh all               everything: the editor, its tools, tests and benchmarks
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VARNOTEL_BUILD_DIR:-build}

# fonts-dejavu-core: the face that has the narrow no-break space of French digit groups.
editor=(g++ cmake make pkg-config qt6-base-dev libgl-dev fonts-wine fonts-liberation
        fonts-dejavu-core)
headless=(xvfb xdotool imagemagick)
# The tests also check the install target and the Debian package with the desktop's own tools,
# and stand in for a screen reader through Qt's private Gui API.
tests=(libgtest-dev libgmock-dev libbenchmark-dev x11-utils desktop-file-utils appstream lintian
       dpkg-dev file librsvg2-bin qt6-base-private-dev)

case "${1-}" in
editor)
    packages=("${editor[@]}")
    [ "${2-}" = headless ] && packages+=("${headless[@]}")
    targets=(--target varnotel)
    ;;
all)
    packages=("${editor[@]}" "${headless[@]}" "${tests[@]}")
    targets=()
    ;;
*)
    sed -n '4,6s/^# \{0,1\}//p' "$0" >&2
    exit 2
    ;;
esac

scripts/packages.sh "${packages[@]}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
