# shellcheck shell=bash
# The skeleton of a private display session, which scripts/xsession.sh (an X server) and
# scripts/waylandsession.sh (a Wayland compositor) fill in: sourced by them once they have read
# their options, with $timeout set to the seconds each step of the session may take. A session
#   begin_session NAME SERVER LOG   makes its folder ($work) and its traps; NAME starts its
#                                   messages, SERVER names the display server in them ("Xvfb"),
#                                   LOG is where the server writes its messages, in $work
#   start_server, await_server      starts the display server and waits until it serves
#   start_program, await_window     starts the program and waits until its window is up
#   await_paint                     waits until the window is painted
#   serve                           keeps it all until the session's input closes
# and it fails, with the program's output and the server's messages, when any of that does not
# happen within $timeout seconds of the step's start. Whatever happens, nothing it started is
# left running.

begin_session() {
    session=$1
    server_name=$2
    work=$(mktemp -d "${TMPDIR:-/tmp}/varnotel-$session.XXXXXX") || exit 1
    server_log=$work/$3
    server=
    server_group=
    program=
    group=
    trap end_session EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    trap 'exit 129' HUP
    start_clock
}

# Each step (the server, then the window and its paint) has $timeout seconds from its start, so
# that a server slow to come up on a busy machine does not eat the window's time. The deadline is
# in microseconds since the epoch, whatever the locale's decimal separator.
start_clock() {
    # shellcheck disable=SC2154 # set by the script that sources this one
    deadline=$((${EPOCHREALTIME//[!0-9]/} + timeout * 1000000))
}

end_session() {
    trap '' INT TERM HUP
    [ -n "$group" ] && stop -- "-$group"
    [ -n "$server_group" ] && stop -- "-$server_group"
    wait
    rm -rf "$work"
}

expired() { [ "${EPOCHREALTIME//[!0-9]/}" -ge "$deadline" ]; }

# Ends a process or a whole process group ("-- -PGID"), giving it a few seconds to end on
# SIGTERM before it is killed.
stop() {
    local i
    kill -TERM "$@" 2>/dev/null || return 0
    for ((i = 0; i < 50; i++)); do
        kill -0 "$@" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -KILL "$@" 2>/dev/null
}

# Runs a command and waits for it with the wait builtin, which a trapped signal interrupts at
# once. While bash waits for a command in the foreground, or for a command substitution, it
# can defer a signal to that command's end or lose it outright (an interrupt arriving as a
# command substitution ends is dropped), and the session would outlive its interrupt.
run() {
    "$@" &
    wait $!
}

# Whether the child process $1 has ended; when it has, its exit status is in $status.
ended() {
    kill -0 "$1" 2>/dev/null && return 1
    wait "$1"
    status=$?
}

describe_exit() {
    if [ "$1" -gt 128 ]; then
        echo "was killed by signal $(($1 - 128))"
    else
        echo "exited with status $1"
    fi
}

# Prints a heading and a file under it, indented, on standard error.
account() {
    echo "$session: $1:" >&2
    sed 's/^/    /' "$2" >&2
}

# Says what went wrong ("$*") and what the program and the server said, and exits 1.
fail() {
    echo "$session: $*" >&2
    [ -s "$work/program.log" ] && account "the editor's output" "$work/program.log"
    [ -s "$server_log" ] && account "$server_name's messages" "$server_log"
    exit 1
}

# The display server, in a session of its own, so that ending its process group ends whatever
# it started; the caller redirects its output.
start_server() {
    setsid "$@" </dev/null &
    server=$!
    server_group=$server
}

# Waits until the function $1 finds the server serving. $2 is what the server does first ("took
# a display"), $3 what it failed to do in time ("took no display").
await_server() {
    until "$1"; do
        if ended "$server"; then
            server=
            fail "$server_name $(describe_exit "$status") before it $2."
        fi
        expired && fail "$server_name $3 within $timeout s."
        run sleep 0.05
    done
    start_clock
}

# The program, in a session (and process group) of its own, so that ending it also ends whatever
# it started.
start_program() {
    setsid "$@" </dev/null >"$work/program.log" 2>&1 &
    program=$!
    group=$program
}

# Waits until the function $1 finds the program's window.
await_window() {
    until "$1"; do
        if ended "$program"; then
            program=
            fail "the editor $(describe_exit "$status") before its window appeared."
        fi
        kill -0 "$server" 2>/dev/null ||
            fail "$server_name ended before the editor's window appeared."
        expired && fail "the editor's window did not appear within $timeout s" \
            "(the editor is still running)."
        run sleep 0.1
    done
}

# A window is mapped before it is painted: waits until two pictures of it in a row, which the
# function $1 takes into the file $2, are the same and show more than a plain background.
await_paint() {
    local previous="" probe colours
    while :; do
        probe=
        rm -f "$work/probe"
        "$1" "$2" && run identify -format '%k %#' "$2" >"$work/probe" 2>/dev/null
        read -r probe 2>/dev/null <"$work/probe"
        colours=${probe%% *}
        [ -n "$probe" ] && [ "$probe" = "$previous" ] && [ "$colours" -gt 16 ] && break
        previous=$probe
        kill -0 "$program" 2>/dev/null || fail "the editor ended before its window was painted."
        expired && fail "the editor's window was not painted within $timeout s."
        run sleep 0.2
    done
}

report() {
    account "the editor's output" "$work/program.log"
    account "$server_name's messages" "$server_log"
}

# Keeps the session until its standard input closes (whoever started it is done with it, or
# gone) or a signal ends it. A line "report" on the input prints the program's output and the
# server's messages so far. The program's end is reported as "exited STATUS", and the server's
# end with its messages.
serve() {
    local line rc
    while :; do
        line=
        read -r -t 0.2 line
        rc=$?
        [ "$line" = report ] && report
        [ $rc -ne 0 ] && [ $rc -le 128 ] && exit 0
        if [ -n "$program" ] && ended "$program"; then
            program=
            echo "exited $status"
            [ -s "$work/program.log" ] &&
                account "the editor $(describe_exit "$status"); its output" "$work/program.log"
        fi
        if [ -n "$server" ] && ended "$server"; then
            server=
            account "$server_name $(describe_exit "$status"); its messages" "$server_log"
        fi
    done
}
