#!/bin/sh
# Makes the seed files of the image fuzz target (fuzz/corpus/image/) with the netpbm tools:
# small PNGs of every colour type and depth, and BMPs of several depths.
set -e
out="$(cd "$(dirname "$0")/../../.." && pwd)/fuzz/corpus/image"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"

# Known pictures: a 6 x 4 grey ramp, colour bars, and the same with an alpha channel.
printf 'P2\n6 4\n255\n0 40 80 120 160 200\n10 50 90 130 170 210\n20 60 100 140 180 220\n30 70 110 150 190 255\n' > grey.pgm
printf 'P3\n6 4\n255\n' > colour.ppm
for row in 1 2 3 4; do
  printf '255 0 0  0 255 0  0 0 255  255 255 0  0 255 255  %d %d %d\n' $((row * 40)) $((row * 20)) $((row * 10)) >> colour.ppm
done
cp grey.pgm alpha.pgm
printf 'P2\n6 4\n1\n0 1 0 1 0 1\n1 0 1 0 1 0\n0 1 0 1 0 1\n1 0 1 0 1 0\n' > bits.pgm

pnmtopng bits.pgm > "$out/grey1.png"
pnmtopng -force grey.pgm > "$out/grey8.png"
pnmtopng -force -transparent=rgb:50/50/50 grey.pgm > "$out/grey8_trns.png"
pnmtopng colour.ppm > "$out/palette.png"
pnmtopng -transparent=rgb:ff/00/00 colour.ppm > "$out/palette_trns.png"
pnmtopng -force colour.ppm > "$out/rgb.png"
pnmtopng -force -interlace colour.ppm > "$out/rgb_interlaced.png"
pnmtopng -force -alpha=alpha.pgm colour.ppm > "$out/rgba.png"
pnmtopng -force -alpha=alpha.pgm grey.pgm > "$out/grey_alpha.png"
pnmdepth 65535 colour.ppm | pnmtopng -force > "$out/rgb16.png"
ppmtobmp -bpp=24 colour.ppm > "$out/colour24.bmp" 2>/dev/null
ppmtobmp -bpp=8 colour.ppm > "$out/colour8.bmp" 2>/dev/null
ppmtobmp -bpp=1 bits.pgm > "$out/bits1.bmp" 2>/dev/null
ppmtobmp -os2 -bpp=4 colour.ppm > "$out/colour4_os2.bmp" 2>/dev/null
