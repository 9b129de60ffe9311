#!/usr/bin/env bash
# Runs the editor (or any program that opens a window titled "Varnotel") as a native client of a
# private, headless Wayland compositor (sway), with no X server at all, and waits until its
# window is up and painted.
#
#   scripts/waylandsession.sh [--timeout S] [--scale N] --serve PROGRAM [ARGS...]
#       prints "socket PATH" (the compositor's Wayland socket), "ipc PATH" (its IPC socket for
#       swaymsg), "runtime DIR" (an XDG_RUNTIME_DIR for other clients), "pid P" and
#       "window varnotel" (the mark the compositor gave the window) on lines of their own, then
#       keeps the session until its standard input closes or it is told to stop (SIGTERM,
#       SIGINT); prints "exited STATUS" when the program ends by itself. A line "report" on
#       its input has it print the program's output and the compositor's messages so far.
#
# The compositor has one output of 1280 x 1024 logical pixels at scale N (1 by default), so that
# the window fits on it at every scale (sway 1.10 keeps a window within its output), no Xwayland,
# and no input devices until a client plugs in a virtual pointer and keyboard. Sway refuses to
# run as root: as root, it runs as the user nobody. When the window does not appear within S
# seconds (60 by default), or the program or the compositor ends first, it says so with the
# program's exit status and output and the compositor's messages, and exits 1. Whatever
# happens, nothing it started is left running.
set -uo pipefail

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
    sed -n '6,13s/^# \{0,1\}//p' "$0" >&2
    exit 2
fi

# shellcheck source=scripts/session-common.sh
. "$(dirname "$0")/session-common.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/varnotel-waylandsession.XXXXXX") || exit 1
compositor=
program=
group=

cleanup() {
    trap '' INT TERM HUP
    [ -n "$group" ] && stop -- "-$group"
    [ -n "$compositor" ] && stop -- "-$compositor"
    wait
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

fail() {
    echo "waylandsession: $1" >&2
    if [ -s "$work/program.log" ]; then
        echo "waylandsession: the editor's output:" >&2
        sed 's/^/    /' "$work/program.log" >&2
    fi
    if [ -s "$work/compositor/sway.log" ]; then
        echo "waylandsession: the compositor's messages:" >&2
        sed 's/^/    /' "$work/compositor/sway.log" >&2
    fi
    exit 1
}

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

# Its own session, so that ending its process group ends everything it started.
env -u DISPLAY -u WAYLAND_DISPLAY -u SWAYSOCK -u XDG_CONFIG_HOME \
    HOME="$work/compositor" XDG_RUNTIME_DIR="$work/compositor/runtime" \
    WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    setsid "${as_user[@]}" sway -c "$work/compositor/sway.conf" \
    </dev/null >"$work/compositor/sway.log" 2>&1 &
compositor=$!

socket=
ipc=
while [ -z "$socket" ] || [ -z "$ipc" ]; do
    for f in "$work"/compositor/runtime/wayland-[0-9]*; do
        [ -S "$f" ] && socket=$f
    done
    for f in "$work"/compositor/runtime/sway-ipc.*.sock; do
        [ -S "$f" ] && ipc=$f
    done
    if ! kill -0 "$compositor" 2>/dev/null; then
        wait "$compositor"
        status=$?
        compositor=
        fail "the compositor $(describe_exit $status) before it took a socket."
    fi
    expired && fail "the compositor opened no socket within $timeout s."
    run sleep 0.05
done

export WAYLAND_DISPLAY=$socket XDG_RUNTIME_DIR=$work/runtime SWAYSOCK=$ipc
export QT_QPA_PLATFORM=wayland
unset DISPLAY
setsid "$@" </dev/null >"$work/program.log" 2>&1 &
program=$!
group=$program

# The window, found by the process that made it and marked for the caller's swaymsg commands.
until run swaymsg -q "[pid=$program title=\"^Varnotel$\"] mark --add varnotel" 2>/dev/null; do
    if ! kill -0 "$program" 2>/dev/null; then
        wait "$program"
        status=$?
        program=
        fail "the editor $(describe_exit $status) before its window appeared."
    fi
    kill -0 "$compositor" 2>/dev/null || fail "the compositor ended before the editor's window appeared."
    expired &&
        fail "the editor's window did not appear within $timeout s (the editor is still running)."
    run sleep 0.1
done

# Mapped before painted: wait until two pictures of the output in a row are the same and show
# more than a plain background.
previous=
while :; do
    probe=
    rm -f "$work/probe"
    run grim "$work/probe.png" 2>/dev/null &&
        run identify -format '%k %#' "$work/probe.png" >"$work/probe" 2>/dev/null
    read -r probe 2>/dev/null <"$work/probe"
    colours=${probe%% *}
    [ -n "$probe" ] && [ "$probe" = "$previous" ] && [ "$colours" -gt 16 ] && break
    previous=$probe
    kill -0 "$program" 2>/dev/null || fail "the editor ended before its window was painted."
    # The headless backend keeps its output's buffers in shared memory.
    grep -q 'Failed to allocate buffer' "$work/compositor/sway.log" 2>/dev/null &&
        fail "the compositor cannot allocate its output's buffers (no /dev/shm?)."
    expired && fail "the editor's window was not painted within $timeout s."
    run sleep 0.2
done

echo "socket $socket"
echo "ipc $ipc"
echo "runtime $XDG_RUNTIME_DIR"
echo "pid $program"
echo "window varnotel"
report() {
    echo "waylandsession: the editor's output:" >&2
    sed 's/^/    /' "$work/program.log" >&2
    echo "waylandsession: the compositor's messages:" >&2
    sed 's/^/    /' "$work/compositor/sway.log" >&2
}
while :; do
    line=
    read -r -t 0.2 line
    rc=$?
    [ "$line" = report ] && report
    [ $rc -ne 0 ] && [ $rc -le 128 ] && exit 0
    if [ -n "$program" ] && ! kill -0 "$program" 2>/dev/null; then
        wait "$program"
        status=$?
        program=
        echo "exited $status"
        if [ -s "$work/program.log" ]; then
            echo "waylandsession: the editor $(describe_exit $status); its output:" >&2
            sed 's/^/    /' "$work/program.log" >&2
        fi
    fi
    if [ -n "$compositor" ] && ! kill -0 "$compositor" 2>/dev/null; then
        wait "$compositor"
        status=$?
        compositor=
        echo "waylandsession: the compositor $(describe_exit $status); its messages:" >&2
        sed 's/^/    /' "$work/compositor/sway.log" >&2
    fi
done
