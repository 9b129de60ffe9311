#!/usr/bin/env bash
# Builds the editor and starts it. On a machine with no display, or whose display does not
# answer, it starts the editor under a private Xvfb instead, saves a screenshot of its window,
# prints the screenshot's path, ends the editor and returns.
#
##   scripts/run.sh          installs what is missing, builds the editor in ./build (or in
##                           $VARNOTEL_BUILD_DIR) and starts it
##   scripts/run.sh --help   this text
set -euo pipefail
# shellcheck source=scripts/usage.sh
. "$(dirname "$0")/usage.sh"
takes_no_arguments "$@"
cd "$(dirname "$0")/.."
build=${VARNOTEL_BUILD_DIR:-build}

# shellcheck source=scripts/build-lock.sh
. scripts/build-lock.sh
hold_build "$build"

# VARNOTEL_SKIP_BUILD=1 runs what is already built, without installing or building anything.
setup() { [ -n "${VARNOTEL_SKIP_BUILD:-}" ] || scripts/setup.sh editor "$@"; }

# A display counts only once it has answered: a stale forwarded display or a container's
# leftover $DISPLAY would make the editor abort on start.
if [ -n "${DISPLAY:-}" ]; then
    setup display
    if xdpyinfo >/dev/null 2>&1; then
        release_build
        exec "$build/varnotel"
    fi
    why="The display $DISPLAY does not answer"
else
    why="No display"
fi
setup headless
echo "$why: the editor runs under Xvfb for a screenshot of its window."
exec scripts/xsession.sh --screenshot "$(realpath -m "$build/varnotel-screenshot.png")" \
    "$build/varnotel"
