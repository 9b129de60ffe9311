#!/usr/bin/env bash
# Builds and starts the editor. With no display, it starts the editor under Xvfb, saves a
# screenshot of the window, prints its path and closes the editor.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec build/varnotel
fi

display=:$(( 90 + RANDOM % 100 ))
Xvfb "$display" -screen 0 1280x720x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$editor" 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

build/varnotel &
editor=$!
window=
for _ in $(seq 100); do
    window=$(xdotool search --name '^Varnotel$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.1
done
if [ -z "$window" ]; then
    echo "The editor's window did not appear." >&2
    exit 1
fi
sleep 1
shot="$PWD/build/varnotel-screenshot.png"
import -window "$window" "$shot"
echo "No display: the editor ran under Xvfb. Screenshot of its window: $shot"
xdotool windowclose "$window" 2>/dev/null || kill "$editor"
wait "$editor" 2>/dev/null || true
