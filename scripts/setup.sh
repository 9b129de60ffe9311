#!/usr/bin/env bash
# Installs the Debian packages that are missing, then configures and builds in ./build (or in
# $VARNOTEL_BUILD_DIR).
##   scripts/setup.sh editor [display] [headless]
##                                      the editor alone; with "display", also the tool that checks
##                                      that a display answers; with "headless", also what the
##                                      editor needs to run under Xvfb
##   scripts/setup.sh all               everything: the editor, its tools, tests and benchmarks
##   scripts/setup.sh sanitize          the unit and widget tests and the fuzz targets, with clang
##                                      under the sanitizers, in ./build-sanitize (the build
##                                      folder's name and "-sanitize")
## The editor's build looks for no test, benchmark or fuzzing package at all (VARNOTEL_TESTS=OFF),
## so that nothing else installed on the machine can change it; the other two configure the tests
## in the same build folder, with every package they need installed first.
set -euo pipefail
# shellcheck source=scripts/usage.sh
. "$(dirname "$0")/usage.sh"
cd "$(dirname "$0")/.."
build=${VARNOTEL_BUILD_DIR:-build}

# fonts-dejavu-core: the face that has the narrow no-break space of French digit groups.
editor=(g++ cmake make pkg-config qt6-base-dev libgl-dev fonts-wine
        fonts-liberation fonts-dejavu-core)
# xdpyinfo (x11-utils): whether the display in $DISPLAY answers.
display=(x11-utils)
headless=(xvfb xdotool imagemagick)
# The tests also check the install target and the Debian package with the desktop's own tools,
# and stand in for a screen reader through Qt's private Gui API; they run the unit tests and fuzz
# targets again under the sanitizers: clang, its sanitizer and libFuzzer runtimes
# (libclang-rt-dev) and llvm-symbolizer (llvm) for readable reports. The chart's benchmarks run
# beside the same chart drawn by a general plotting library (libqcustomplot-dev); the start-up
# benchmark sees the first frame through the X server's DAMAGE extension (libxcb-damage0-dev).
tests=(libgtest-dev libgmock-dev libbenchmark-dev x11-utils desktop-file-utils appstream lintian
       dpkg-dev file librsvg2-bin qt6-base-private-dev clang libclang-rt-dev llvm
       libqcustomplot-dev libxcb-damage0-dev)
# The end-to-end tests on Wayland: Qt's Wayland plugin, a headless compositor (sway) and its
# screenshot tool (grim), and the client libraries of the tests' own virtual pointer and
# keyboard (libwayland-dev, with wayland-scanner, and libxkbcommon-dev).
tests+=(qt6-wayland sway grim libwayland-dev libxkbcommon-dev)

options=(-DVARNOTEL_TESTS=ON)
case "${1-}" in
editor)
    packages=("${editor[@]}")
    for extra in "${@:2}"; do
        case "$extra" in
        display) packages+=("${display[@]}") ;;
        headless) packages+=("${headless[@]}") ;;
        *) usage >&2; exit 2 ;;
        esac
    done
    options=(-DVARNOTEL_TESTS=OFF)
    targets=(--target varnotel)
    ;;
all)
    packages=("${editor[@]}" "${headless[@]}" "${tests[@]}")
    options+=(-DVARNOTEL_BENCH_PEER=ON)
    targets=()
    ;;
sanitize)
    packages=("${editor[@]}" "${tests[@]}")
    build=$build-sanitize
    options+=(-DCMAKE_CXX_COMPILER=clang++ -DVARNOTEL_SANITIZE=ON -DVARNOTEL_FUZZ=ON
              -DVARNOTEL_BENCH=OFF)
    targets=(--target varnotel_unit_tests varnotel_fuzzers)
    ;;
-h | --help)
    usage
    exit 0
    ;;
*)
    usage >&2
    exit 2
    ;;
esac

# shellcheck source=scripts/build-lock.sh
. scripts/build-lock.sh
hold_build "$build"
scripts/packages.sh "${packages[@]}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
