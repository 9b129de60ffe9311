# shellcheck shell=bash
# One run at a time in a build folder, for the scripts that build and run from it (sourced by
# them). Two runs in one folder corrupt each other: CMake's cache switched under the other's
# feet, objects and programmes half written, a test's editor relinked while it starts. So a
# script holds its build folder from its configuration to the end of what runs from it, with an
# advisory lock on the folder itself: no lock file, and it ends with the last process that holds
# it, kill -9 included. A run that finds the folder held says so and waits for it.
#
# What the holder starts inherits the lock: $VARNOTEL_HELD_BUILD names the folder, so that
# scripts/setup.sh started by scripts/test.sh does not wait for its own caller.

# Holds folder $1 (made if missing) until release_build or the script's end.
hold_build() {
    mkdir -p "$1" || exit 1
    local dir
    dir=$(cd "$1" && pwd -P) || exit 1
    [ "${VARNOTEL_HELD_BUILD-}" = "$dir" ] && return 0
    exec {build_lock}<"$dir"
    if ! flock -n "$build_lock"; then
        echo "Another build or test run is using $1: waiting until it ends."
        flock "$build_lock"
    fi
    export VARNOTEL_HELD_BUILD=$dir
}

# Lets the folder go, for the next folder or before the editor starts for good: a programme that
# outlives the script must not keep the folder from the next build.
release_build() {
    [ -n "${build_lock-}" ] || return 0
    exec {build_lock}<&-
    unset build_lock VARNOTEL_HELD_BUILD
}
