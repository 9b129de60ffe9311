# shellcheck shell=bash
# The pieces that scripts/xsession.sh and scripts/waylandsession.sh share: sourced by them, with
# $timeout set to the seconds the session may take to come up.

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

describe_exit() {
    if [ "$1" -gt 128 ]; then
        echo "was killed by signal $(($1 - 128))"
    else
        echo "exited with status $1"
    fi
}

# In microseconds since the epoch, whatever the locale's decimal separator.
# shellcheck disable=SC2154 # set by the script that sources this one
deadline=$((${EPOCHREALTIME//[!0-9]/} + timeout * 1000000))
expired() { [ "${EPOCHREALTIME//[!0-9]/}" -ge $deadline ]; }
