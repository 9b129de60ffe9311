#!/bin/sh
# Renders the icon's PNG sizes from varnotel.svg (needs rsvg-convert, Debian's librsvg2-bin).
# Run it after changing the drawing; a test checks that the PNGs still match it.
set -e
cd "$(dirname "$0")"
for size in 48 128 256; do
    rsvg-convert -w $size -h $size varnotel.svg -o varnotel-$size.png
done
