#!/usr/bin/env bash
# Runs the editor (or any program that opens a window named "Varnotel") on a private X display
# of its own, and waits until its window is up and painted.
#
##   scripts/xsession.sh [--timeout S] [--screen WxH] --screenshot FILE PROGRAM [ARGS...]
##       saves a picture of the window in FILE, prints its path, ends the program, exits 0.
##   scripts/xsession.sh [--timeout S] [--screen WxH] --serve PROGRAM [ARGS...]
##       prints "display :N", "pid P" and "window ID" on lines of their own, then keeps the
##       session until its standard input closes or it is told to stop (SIGTERM, SIGINT);
##       prints "exited STATUS" when the program ends by itself. A line "report" on its input
##       has it print the program's output and Xvfb's messages so far.
#
# The X server picks a free display itself (-displayfd), so the session never collides with
# another X server or test run, and nothing here ever talks to a display it did not start.
# When the window does not appear within S seconds (60 by default), or the program or the X
# server ends first, it says so with the program's exit status and output and the X server's
# messages, and exits 1. Whatever happens, nothing it started is left running. The display's
# screen is 1280 x 1024 pixels unless --screen gives another size.
set -uo pipefail
# shellcheck source=scripts/usage.sh
. "$(dirname "$0")/usage.sh"

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
    usage >&2
    exit 2
fi

# shellcheck source=scripts/session-common.sh
. "$(dirname "$0")/session-common.sh"
begin_session xsession Xvfb xvfb.log

# -noreset: an X server resets whenever its last client leaves, and refuses connections while
# it does. The searches for the window come and go before the editor connects, so without it
# the editor's own connection can fail at random ("could not connect to display").
start_server Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp -noreset \
    3>"$work/display" 2>"$server_log" >/dev/null
number=
display_taken() { read -r number 2>/dev/null <"$work/display" && [ -n "$number" ]; }
await_server display_taken "took a display" "took no display"
export DISPLAY=:$number

start_program "$@"
window=
window_shown() {
    run xdotool search --onlyvisible --name '^Varnotel$' >"$work/windows" 2>/dev/null
    read -r window <"$work/windows"
    [ -n "$window" ]
}
await_window window_shown
window_picture() { run import -window "$window" "$1" 2>/dev/null; }
await_paint window_picture "$work/probe.miff"

if [ "$mode" = screenshot ]; then
    run import -window "$window" "$shot" 2>"$work/import.log" ||
        fail "the screenshot could not be saved in $shot: $(cat "$work/import.log")"
    echo "Screenshot of the editor's window: $shot"
    exit 0
fi

echo "display $DISPLAY"
echo "pid $program"
echo "window $window"
serve
