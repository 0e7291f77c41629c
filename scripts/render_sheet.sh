#!/usr/bin/env bash
# Renders the Zentrik skin sheet:
#   resources/sheet/skin_sheet.svg  ->  resources/sheet/skin_sheet.png      (646 x 200, RGB)
#                                   ->  resources/sheet/skin_sheet.payload  (raw bitmap payload)
# Payload layout: uint32 LE width, uint32 LE height, then B,G,R pixel bytes,
# bottom row first, rows of 1940 bytes (1938 + 2 zero bytes); exactly
# 646*200*3 = 387600 pixel bytes, so the top row (stored last) is cut after 1540 bytes.
# Needs: rsvg-convert (apt-get install librsvg2-bin), ImageMagick convert, python3.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="$here/resources/sheet"
svg="$dir/skin_sheet.svg"
png="$dir/skin_sheet.png"
payload="$dir/skin_sheet.payload"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert missing: apt-get install -y librsvg2-bin" >&2; exit 1; }
command -v convert >/dev/null || { echo "ImageMagick convert missing" >&2; exit 1; }

tmp="$(mktemp -d)"; trap 'rm -rf "$tmp"' EXIT
rsvg-convert --width 646 --height 200 "$svg" -o "$tmp/raw.png"
convert "$tmp/raw.png" -background '#808080' -alpha remove -alpha off -depth 8 "rgb:$tmp/raw.rgb"

python3 - "$tmp/raw.rgb" "$png" "$payload" <<'PY'
import struct, sys, zlib
src, png_out, payload_out = sys.argv[1:4]
W, H = 646, 200
px = bytearray(open(src, 'rb').read())
assert len(px) == W * H * 3, len(px)

def fill(l, t, r, b, rgb):
    for y in range(t, b):
        for x in range(l, r):
            i = (y * W + x) * 3
            px[i:i + 3] = bytes(rgb)

def copy(sx, sy, dx, dy, w, h, keep):
    # copy window-face pixels (dx,dy) into the face at (sx,sy) where keep(x,y) is true
    for y in range(h):
        for x in range(w):
            if keep(x, y):
                s = ((dy + y) * W + dx + x) * 3
                d = ((sy + y) * W + sx + x) * 3
                px[d:d + 3] = px[s:s + 3]

# exact colours the program's own drawing has to match
SCREEN, STRIP = (128, 197, 255), (159, 211, 255)
fill(38, 40, 310, 150, SCREEN)
fill(42, 86, 307, 114, STRIP)

# the other two used icon sockets are the empty socket (5,35) itself
for y0 in (70, 105):
    copy(5, y0, 5, 35, 20, 15, lambda x, y: True)

# oval faces: outside the oval they are exactly the socket surroundings
def outside(w, h, m=0.5):
    rx, ry = w / 2 - m, h / 2 - m
    return lambda x, y: ((x + 0.5 - w / 2) / rx) ** 2 + ((y + 0.5 - h / 2) / ry) ** 2 > 1
faces = [(350, 0, 36), (424, 0, 36), (498, 0, 36), (572, 0, 36),
         (350, 56, 138), (424, 56, 138), (498, 56, 138),
         (350, 112, 240), (572, 56, 240), (424, 112, 240)]
for sx, sy, wx in faces:
    for dy in (0, 28):
        copy(sx, sy + dy, wx, 160, 74, 28, outside(74, 28))

# write the PNG (plain RGB, no extra packages)
raw = b''.join(b'\0' + bytes(px[y * W * 3:(y + 1) * W * 3]) for y in range(H))
def chunk(tag, data):
    return struct.pack('>I', len(data)) + tag + data + struct.pack('>I', zlib.crc32(tag + data) & 0xffffffff)
with open(png_out, 'wb') as f:
    f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', W, H, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))

# payload: bottom-up BGR rows, 1940-byte stride, pixel bytes cut at 387600
stride = (W * 3 + 3) & ~3
body = bytearray()
for y in range(H - 1, -1, -1):
    row = px[y * W * 3:(y + 1) * W * 3]
    bgr = bytearray(len(row))
    bgr[0::3], bgr[1::3], bgr[2::3] = row[2::3], row[1::3], row[0::3]
    body += bgr + b'\0' * (stride - W * 3)
body = body[:W * H * 3]
with open(payload_out, 'wb') as f:
    f.write(struct.pack('<II', W, H) + body)
print(f'wrote {png_out} and {payload_out} ({8 + len(body)} bytes)')
PY
