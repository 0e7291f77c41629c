#!/bin/sh
# Draws the program icon (a dish with a signal bar) at 32x32 and 16x16 in 256
# colours. The result is committed; the build does not need ImageMagick.
set -e
cd "$(dirname "$0")/../resources"
tmp=$(mktemp -d)
for size in 32 16; do
  convert -size 256x256 xc:none \
    -fill '#2a5d8f' -draw 'roundrectangle 8,8 248,248 48,48' \
    -fill '#80c5ff' -draw 'roundrectangle 28,28 228,228 36,36' \
    -fill '#f0f0ff' -draw 'ellipse 104,118 62,84 0,360' \
    -stroke '#1e2a3a' -strokewidth 12 -draw 'line 110,120 190,80' \
    -fill '#ff3020' -stroke none -draw 'circle 194,78 194,96' \
    -fill '#1e2a3a' -draw 'rectangle 48,196 208,214' \
    -fill '#30c040' -draw 'rectangle 48,196 160,214' \
    -resize ${size}x${size} -background none -colors 255 PNG8:"$tmp/icon$size.png"
done
convert "$tmp/icon32.png" "$tmp/icon16.png" -colors 256 zentrik.ico
rm -rf "$tmp"
