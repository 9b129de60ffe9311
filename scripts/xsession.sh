#!/usr/bin/env bash
# Runs the editor (or any program that opens a window named "Varnotel") on a private X display
# of its own, and waits until its window is up and painted.
#
#   scripts/xsession.sh [--timeout S] [--screen WxH] --screenshot FILE PROGRAM [ARGS...]
#       saves a picture of the window in FILE, prints its path, ends the program, exits 0.
#   scripts/xsession.sh [--timeout S] [--screen WxH] --serve PROGRAM [ARGS...]
#       prints "display :N", "pid P" and "window ID" on lines of their own, then keeps the
#       session until its standard input closes or it is told to stop (SIGTERM, SIGINT);
#       prints "exited STATUS" when the program ends by itself.
#
# The X server picks a free display itself (-displayfd), so the session never collides with
# another X server or test run, and nothing here ever talks to a display it did not start.
# When the window does not appear within S seconds (60 by default), or the program or the X
# server ends first, it says so with the program's exit status and output and the X server's
# messages, and exits 1. Whatever happens, nothing it started is left running. The display's
# screen is 1280 x 1024 pixels unless --screen gives another size.
set -uo pipefail

timeout=60
screen=1280x1024
mode=
shot=
while [ $# -gt 0 ]; do
    case "$1" in
    --timeout) timeout=${2-}; shift $(($# > 1 ? 2 : 1)) ;;
    --screenshot) mode=screenshot; shot=${2-}; shift $(($# > 1 ? 2 : 1)) ;;
    --screen) screen=${2-}; shift $(($# > 1 ? 2 : 1)) ;;
    --serve) mode=serve; shift ;;
    *) break ;;
    esac
done
if [ -z "$mode" ] || { [ "$mode" = screenshot ] && [ -z "$shot" ]; } || [ $# -eq 0 ] ||
    ! [[ $timeout =~ ^[0-9]+$ ]] || ! [[ $screen =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]]; then
    sed -n '5,10s/^# \{0,1\}//p' "$0" >&2
    exit 2
fi

# shellcheck source=scripts/session-common.sh
. "$(dirname "$0")/session-common.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/varnotel-xsession.XXXXXX") || exit 1
xvfb=
program=
group=

cleanup() {
    trap '' INT TERM HUP
    [ -n "$group" ] && stop -- "-$group"
    [ -n "$xvfb" ] && stop "$xvfb"
    wait
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

fail() {
    echo "xsession: $1" >&2
    if [ -s "$work/program.log" ]; then
        echo "xsession: the editor's output:" >&2
        sed 's/^/    /' "$work/program.log" >&2
    fi
    if [ -s "$work/xvfb.log" ]; then
        echo "xsession: Xvfb's messages:" >&2
        sed 's/^/    /' "$work/xvfb.log" >&2
    fi
    exit 1
}

# -noreset: an X server resets whenever its last client leaves, and refuses connections while
# it does. The searches for the window come and go before the editor connects, so without it
# the editor's own connection can fail at random ("could not connect to display").
Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp -noreset \
    3>"$work/display" 2>"$work/xvfb.log" </dev/null >/dev/null &
xvfb=$!
number=
until read -r number 2>/dev/null <"$work/display" && [ -n "$number" ]; do
    if ! kill -0 "$xvfb" 2>/dev/null; then
        wait "$xvfb"
        status=$?
        xvfb=
        fail "Xvfb $(describe_exit $status) before it took a display."
    fi
    expired && fail "Xvfb took no display within $timeout s."
    run sleep 0.05
done
export DISPLAY=:$number

# Its own session (and process group), so that ending it also ends whatever it started.
setsid "$@" </dev/null >"$work/program.log" 2>&1 &
program=$!
group=$program

window=
while :; do
    run xdotool search --onlyvisible --name '^Varnotel$' >"$work/windows" 2>/dev/null
    read -r window <"$work/windows"
    [ -n "$window" ] && break
    if ! kill -0 "$program" 2>/dev/null; then
        wait "$program"
        status=$?
        program=
        fail "the editor $(describe_exit $status) before its window appeared."
    fi
    kill -0 "$xvfb" 2>/dev/null || fail "Xvfb ended before the editor's window appeared."
    expired &&
        fail "the editor's window did not appear within $timeout s (the editor is still running)."
    run sleep 0.1
done

# A window is mapped before it is painted: wait until two pictures of it in a row are the same
# and show more than a plain background.
previous=
while :; do
    probe=
    rm -f "$work/probe"
    run import -window "$window" "$work/probe.miff" 2>/dev/null &&
        run identify -format '%k %#' "$work/probe.miff" >"$work/probe" 2>/dev/null
    read -r probe 2>/dev/null <"$work/probe"
    colours=${probe%% *}
    [ -n "$probe" ] && [ "$probe" = "$previous" ] && [ "$colours" -gt 16 ] && break
    previous=$probe
    kill -0 "$program" 2>/dev/null || fail "the editor ended before its window was painted."
    expired && fail "the editor's window was not painted within $timeout s."
    run sleep 0.2
done

if [ "$mode" = screenshot ]; then
    run import -window "$window" "$shot" 2>"$work/import.log" ||
        fail "the screenshot could not be saved in $shot: $(cat "$work/import.log")"
    echo "Screenshot of the editor's window: $shot"
    exit 0
fi

echo "display $DISPLAY"
echo "pid $program"
echo "window $window"
while :; do
    read -r -t 0.2 _
    rc=$?
    # End of input: whoever started the session is done with it, or gone.
    [ $rc -ne 0 ] && [ $rc -le 128 ] && exit 0
    if [ -n "$program" ] && ! kill -0 "$program" 2>/dev/null; then
        wait "$program"
        status=$?
        program=
        echo "exited $status"
        if [ -s "$work/program.log" ]; then
            echo "xsession: the editor $(describe_exit $status); its output:" >&2
            sed 's/^/    /' "$work/program.log" >&2
        fi
    fi
done
