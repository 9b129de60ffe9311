# shellcheck shell=bash
# A script's usage is kept once, in its own header: the lines marked "##", which usage prints
# as they stand there without the mark. Sourced by each script before it changes folder, since
# the script's own path ($0) may be relative to where it was started.
usage_text=$(sed -n 's/^## \{0,1\}//p' "$0")
usage() { printf '%s\n' "$usage_text"; }

# For a command that takes no arguments: --help prints its usage; anything else prints it on
# standard error and exits 2, before anything is done.
takes_no_arguments() {
    [ $# -eq 0 ] && return 0
    case "$1" in
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
    esac
}
