#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are not installed yet for this
# machine's own architecture: as root with apt-get, otherwise through sudo when sudo lets this
# user in without a password. It never removes a package: when one that it would install
# conflicts with an installed one, it names both, changes nothing and fails. A user who cannot
# install is told, in one line, the missing packages and the command to run as root.
set -euo pipefail

# Each installed instance of a package as "ARCHITECTURE STATUS"; on a multi-arch machine a
# package can be there for several architectures, and only the machine's own (or "all") counts.
arch=$(dpkg --print-architecture)
installed() {
    local instance
    while read -r instance; do
        [ "$instance" = "$arch installed" ] || [ "$instance" = "all installed" ] && return 0
    done < <(dpkg-query -W -f='${Architecture} ${db:Status-Status}\n' "$1" 2>/dev/null)
    return 1
}

missing=()
for p in "$@"; do
    installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

install=(apt-get install --no-install-recommends "${missing[@]}")
if [ "$EUID" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true >/dev/null 2>&1; then
    as_root=(sudo -n)
else
    echo "Missing Debian packages: ${missing[*]}; install them as root with: ${install[*]}" >&2
    exit 1
fi

# Another package manager (a second run of these scripts, an upgrade in the background) may hold
# one of apt's locks for minutes. apt-get (2.6, Debian 12's) waits only for dpkg's, and only when
# told to (DPkg::Lock::Timeout): it gives up at once on the package lists' and the downloads'. So
# as long as apt-get says that a lock is held, which it does before it changes anything, this
# says so once (on standard error: the install's output is not shown) and tries again, for ten
# minutes at most, then says who still holds it and exits 1; it returns 1 on any other failure,
# with what apt-get said. Its messages are read in the C locale.
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
wait_for=600
holder=
as_root_apt_get() {
    local start=$SECONDS waiting=() held said_by
    while :; do
        if "${as_root[@]}" env LC_ALL=C DEBIAN_FRONTEND=noninteractive \
            apt-get "${waiting[@]}" "$@" 2>"$errors"; then
            cat "$errors" >&2
            return 0
        fi
        if ! grep -q -e '^E: Could not get lock ' \
            -e '^E: Unable to acquire the dpkg frontend lock' "$errors"; then
            cat "$errors" >&2
            return 1
        fi
        # "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4242 (apt-get)"
        held='s/^E: Could not get lock .* held by process \([0-9]*\) (\(.*\))$/\2, process \1/p'
        said_by=$(sed -n "$held" "$errors" | head -n 1)
        holder=${said_by:-$holder}
        [ $((SECONDS - start)) -lt $wait_for ] || lock_held
        [ ${#waiting[@]} -gt 0 ] ||
            echo "Another package manager is running${holder:+ ($holder)}: waiting for it to" \
                "end." >&2
        waiting=(-o "DPkg::Lock::Timeout=$((wait_for - (SECONDS - start)))")
        sleep 1
    done
}
lock_held() {
    echo "Another package manager${holder:+ ($holder)} still holds apt's lock after" \
        "$((wait_for / 60)) minutes: run this again when it has ended." >&2
    exit 1
}

echo "Installing the missing Debian packages (this can take several minutes): ${missing[*]}"
as_root_apt_get update -qq || {
    echo "The package lists could not be updated: installing needs Debian's archive." >&2
    exit 1
}

# The packages that installing would remove, as apt-get's dry run names them ("Remv NAME ...").
removals() {
    local word name rest
    LC_ALL=C apt-get -s install --no-install-recommends "$@" 2>/dev/null |
        while read -r word name rest; do
            [ "$word" = Remv ] && echo "$name"
        done
    return 0
}
removed=$(removals "${missing[@]}")
if [ -n "$removed" ]; then
    echo "Installing the missing packages would remove installed ones; nothing was changed." >&2
    for p in "${missing[@]}"; do
        conflicting=$(removals "$p")
        [ -n "$conflicting" ] && echo "  $p conflicts with the installed" $conflicting >&2
    done
    echo "To go on, remove them first (as root: apt-get remove" $removed") and run this again." >&2
    exit 1
fi

# --no-remove: should apt still find a package to remove, it stops instead.
as_root_apt_get install -y -qq --no-remove --no-install-recommends "${missing[@]}" >/dev/null ||
    exit 1
