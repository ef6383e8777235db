#!/usr/bin/env bash
# Renders windows/resources/icon/Tolv.Viewer.svg into windows/resources/icon/Tolv.Viewer.ico with
# the six images the program carries: 32x32 and 24x24 at 8 bits per pixel, and
# 256x256 (PNG-compressed), 48x48, 32x32 and 24x24 at 32 bits per pixel.
# Then the İmza bilgisi window's verdict icons, Tolv.Verdict.*.svg into their .ico.
# Needs librsvg2-bin, icoutils and python3-pil (Debian packages).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
svg=$root/windows/resources/icon/Tolv.Viewer.svg
ico=$root/windows/resources/icon/Tolv.Viewer.ico
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for size in 256 48 32 24; do
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$work/$size.png"
done

# 8-bit images: at most 255 colours plus a transparent index, and transparency
# that is either full or none, since such an image has only a 1-bit mask.
for size in 32 24; do
  /usr/bin/python3 - "$work/$size.png" "$work/${size}-8.png" <<'PY'
import sys
from PIL import Image
src = Image.open(sys.argv[1]).convert("RGBA")
bg = Image.new("RGBA", src.size, (255, 255, 255, 255))
flat = Image.alpha_composite(bg, src).convert("RGB")
pal = flat.quantize(colors=255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
out = pal.convert("RGBA")
mask = src.getchannel("A").point(lambda a: 255 if a >= 128 else 0)
out.putalpha(mask)
out.save(sys.argv[2])
PY
done

icotool -c -o "$ico" \
  -b 8 "$work/32-8.png" -b 8 "$work/24-8.png" \
  -r "$work/256.png" -b 32 "$work/48.png" -b 32 "$work/32.png" -b 32 "$work/24.png"
icotool -l "$ico"

# The verdict icons of the İmza bilgisi window, from their own SVGs beside the
# program's: 32 bits per pixel only, since the task dialog that shows them
# needs common controls 6 and so a desktop with true colour.
for verdict in Valid Invalid Unverified Altered; do
  source=$root/windows/resources/icon/Tolv.Verdict.$verdict.svg
  for size in 256 48 32 24; do
    rsvg-convert -w "$size" -h "$size" "$source" -o "$work/$verdict-$size.png"
  done
  icotool -c -o "${source%.svg}.ico" -r "$work/$verdict-256.png" \
    -b 32 "$work/$verdict-48.png" -b 32 "$work/$verdict-32.png" -b 32 "$work/$verdict-24.png"
done
