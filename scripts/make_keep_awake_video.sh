#!/bin/sh
# Makes the phone page's keep-awake video with Debian's ffmpeg: four seconds
# of plain white frames, 32 x 32 pixels at one frame a second, no sound track.
# A browser without the screen wake lock (a page over plain http) keeps the
# screen on while a video plays; the page loops this one, muted and inline.
# Two encodings: WebM (VP8) for Chromium and Firefox, MP4 (H.264 baseline)
# for Safari on iOS. The files are committed beside the page, so the build
# needs no ffmpeg; the same ffmpeg (Debian 12's 5.1) gives the same bytes: one
# thread, bit-exact muxing, no metadata, and no encoder-settings text (the
# H.264 SEI units are filtered out).
#
# usage: make_keep_awake_video.sh [FOLDER]   (default: phone/)
#        make_keep_awake_video.sh --check    (makes them anew and compares)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
check=""
if [ "${1:-}" = "--check" ]; then
  check=1
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
else
  out=${1:-$root/phone}
fi
source="color=c=white:s=32x32:r=1:d=4"
exact="-fflags +bitexact -flags:v +bitexact -map_metadata -1 -an -threads 1 -pix_fmt yuv420p"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "$source" $exact \
  -c:v libvpx -b:v 10k "$out/keep_awake.webm"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "$source" $exact \
  -c:v libx264 -preset veryslow -crf 51 -profile:v baseline -bsf:v filter_units=remove_types=6 \
  -movflags +faststart "$out/keep_awake.mp4"
if [ -n "$check" ]; then
  for name in keep_awake.webm keep_awake.mp4; do
    cmp -s "$out/$name" "$root/phone/$name" || { echo "$name differs from phone/$name"; exit 1; }
  done
  echo "the keep-awake videos are as committed"
fi
