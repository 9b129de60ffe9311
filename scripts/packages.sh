#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are not installed yet: as root
# with apt-get, otherwise through sudo. With neither, it names the missing packages and how to
# install them, and fails.
set -euo pipefail

missing=()
for p in "$@"; do
    [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" = installed ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$EUID" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "Missing Debian packages: ${missing[*]};" \
        "install them as root with: apt-get install ${missing[*]}" >&2
    exit 1
fi
echo "Installing the missing Debian packages (this can take several minutes): ${missing[*]}"
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
