#!/usr/bin/env bash
# Runs the editor (or any program that opens a window titled "Varnotel") as a native client of a
# private, headless Wayland compositor (sway), with no X server at all, and waits until its
# window is up and painted.
#
##   scripts/waylandsession.sh [--timeout S] [--scale N] --serve PROGRAM [ARGS...]
##       prints "socket PATH" (the compositor's Wayland socket), "ipc PATH" (its IPC socket for
##       swaymsg), "runtime DIR" (an XDG_RUNTIME_DIR for other clients), "pid P" and
##       "window varnotel" (the mark the compositor gave the window) on lines of their own, then
##       keeps the session until its standard input closes or it is told to stop (SIGTERM,
##       SIGINT); prints "exited STATUS" when the program ends by itself. A line "report" on
##       its input has it print the program's output and the compositor's messages so far.
#
# The compositor has one output of 1280 x 1024 logical pixels at scale N (1 by default), so that
# the window fits on it at every scale (sway 1.10 keeps a window within its output), no Xwayland,
# and no input devices until a client plugs in a virtual pointer and keyboard. Sway refuses to
# run as root: as root, it runs as the user nobody. When the window does not appear within S
# seconds (60 by default), or the program or the compositor ends first, it says so with the
# program's exit status and output and the compositor's messages, and exits 1. Whatever
# happens, nothing it started is left running.
set -uo pipefail
# shellcheck source=scripts/usage.sh
. "$(dirname "$0")/usage.sh"

timeout=60
scale=1
mode=
while [ $# -gt 0 ]; do
    case "$1" in
    --timeout) timeout=${2-}; shift $(($# > 1 ? 2 : 1)) ;;
    --scale) scale=${2-}; shift $(($# > 1 ? 2 : 1)) ;;
    --serve) mode=serve; shift ;;
    *) break ;;
    esac
done
if [ -z "$mode" ] || [ $# -eq 0 ] || ! [[ $timeout =~ ^[0-9]+$ ]] || ! [[ $scale =~ ^[1-9]$ ]]; then
    usage >&2
    exit 2
fi

# shellcheck source=scripts/session-common.sh
. "$(dirname "$0")/session-common.sh"
begin_session waylandsession "the compositor" compositor/sway.log

# The compositor's own folder (its runtime directory, configuration and log), which it must
# own; and a runtime directory of the caller's own for the editor and the tools.
mkdir -m 700 "$work/compositor" "$work/compositor/runtime" "$work/runtime"
cat >"$work/compositor/sway.conf" <<EOF
xwayland disable
output HEADLESS-1 mode $((1280 * scale))x$((1024 * scale)) position 0 0 scale $scale
EOF
as_user=()
if [ "$EUID" -eq 0 ]; then
    chmod 711 "$work"
    chown -R nobody:nogroup "$work/compositor"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi

start_server env -u DISPLAY -u WAYLAND_DISPLAY -u SWAYSOCK -u XDG_CONFIG_HOME \
    HOME="$work/compositor" XDG_RUNTIME_DIR="$work/compositor/runtime" \
    WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    "${as_user[@]}" sway -c "$work/compositor/sway.conf" >"$server_log" 2>&1
socket=
ipc=
sockets_taken() {
    local f
    for f in "$work"/compositor/runtime/wayland-[0-9]*; do
        [ -S "$f" ] && socket=$f
    done
    for f in "$work"/compositor/runtime/sway-ipc.*.sock; do
        [ -S "$f" ] && ipc=$f
    done
    [ -n "$socket" ] && [ -n "$ipc" ]
}
await_server sockets_taken "took a socket" "opened no socket"

export WAYLAND_DISPLAY=$socket XDG_RUNTIME_DIR=$work/runtime SWAYSOCK=$ipc
export QT_QPA_PLATFORM=wayland
unset DISPLAY
start_program "$@"

# The window, found by the process that made it and marked for the caller's swaymsg commands.
window_marked() {
    run swaymsg -q "[pid=$program title=\"^Varnotel$\"] mark --add varnotel" 2>/dev/null
}
await_window window_marked
output_picture() {
    # The headless backend keeps its output's buffers in shared memory.
    grep -q 'Failed to allocate buffer' "$server_log" 2>/dev/null &&
        fail "the compositor cannot allocate its output's buffers (no /dev/shm?)."
    run grim "$1" 2>/dev/null
}
await_paint output_picture "$work/probe.png"

echo "socket $socket"
echo "ipc $ipc"
echo "runtime $XDG_RUNTIME_DIR"
echo "pid $program"
echo "window varnotel"
serve
