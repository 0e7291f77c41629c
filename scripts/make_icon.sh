#!/bin/sh
# Draws the program icon after the window's own artwork: the light dish with
# its red feed on the graphite of the top bar, over the blue screen with a
# signal bar. Written as 32x32 and 16x16 images of 256 colours; the result is
# committed, so the build does not need ImageMagick.
set -e
cd "$(dirname "$0")/../resources"
tmp=$(mktemp -d)
convert -size 256x256 xc:none \
  -fill '#2b3038' -draw 'roundrectangle 4,4 251,251 52,52' \
  -fill '#80c5ff' -draw 'roundrectangle 30,168 226,230 14,14' \
  -fill '#f0f0ff' -draw 'rectangle 42,184 150,214' \
  -fill '#cfe3ff' -draw 'translate 100,96 rotate -40 ellipse 0,0 34,70 0,360' \
  -fill '#2b3038' -draw 'translate 108,88 rotate -40 ellipse 0,0 22,58 0,360' \
  -stroke '#9fb8d6' -strokewidth 12 -draw 'line 110,96 184,40' -stroke none \
  -fill '#ff3b2f' -draw 'circle 188,38 188,56' \
  -fill '#cfe3ff' -draw 'polygon 88,150 126,150 112,132' \
  "$tmp/master.png"
for size in 32 16; do
  convert "$tmp/master.png" -resize ${size}x${size} -background none -colors 256 "$tmp/icon$size.png"
done
convert "$tmp/icon32.png" "$tmp/icon16.png" -colors 256 zentrik.ico
rm -rf "$tmp"
