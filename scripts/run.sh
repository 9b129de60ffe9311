#!/usr/bin/env bash
# Builds the editor and starts it. On a machine with no display, it starts the editor under a
# private Xvfb instead, saves a screenshot of its window, prints the screenshot's path, ends the
# editor and returns.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VARNOTEL_BUILD_DIR:-build}

has_display() {
    [ -n "${DISPLAY:-}" ] || return 1
    # Without xdpyinfo, trust $DISPLAY; with it, make sure the display answers.
    ! command -v xdpyinfo >/dev/null 2>&1 || xdpyinfo >/dev/null 2>&1
}

if has_display; then headless=; else headless=headless; fi

# VARNOTEL_SKIP_BUILD=1 runs what is already built, without installing or building anything.
if [ -z "${VARNOTEL_SKIP_BUILD:-}" ]; then
    scripts/setup.sh editor $headless
fi
if [ -z "$headless" ]; then
    exec "$build/varnotel"
fi
echo "No display: the editor runs under Xvfb for a screenshot of its window."
exec scripts/xsession.sh --screenshot "$(realpath -m "$build/varnotel-screenshot.png")" \
    "$build/varnotel"
