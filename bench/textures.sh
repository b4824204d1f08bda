#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# The texture step beside its peers, on one 1024x1024 colour texture:
#   ASTC 6x6 "medium", level 0 only, against the astcenc command line (one
#   thread, as a Ninja step has, and all threads), with the PSNR of each
#   decoded by astcenc itself, measured by ImageMagick's compare;
#   BC3, level 0 only, against ImageMagick's convert writing a DXT5 DDS;
#   the step with its full mip chain, for what a build really pays.
# Installs astcenc and imagemagick when they are missing.
# Usage: bench/textures.sh [build]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
sdk=$(cd "$(dirname "$0")/../sdk" && pwd)
"$(dirname "$0")/need.sh" astcenc:astcenc /usr/bin/convert:imagemagick
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert=/usr/bin/convert
$convert -seed 3 -size 1024x1024 plasma:tan-olivedrab -blur 0x2 -depth 8 \
  -define png:color-type=2 "$work/t.png"
cp "$work/t.png" "$work/bc3.png"
printf 'format = "astc"\nastc_block = "6x6"\nastc_quality = "medium"\nmips = 1\n' > "$work/t.png.toml"
printf 'format = "bc3"\nmips = 1\n' > "$work/bc3.png.toml"
cp "$work/t.png" "$work/fast.png"
printf 'format = "bc3"\nmips = 1\nbc_quality = "fast"\n' > "$work/fast.png.toml"
cp "$work/t.png" "$work/one.png"
printf 'mips = 1\n' > "$work/one.png.toml"
step() {  # SOURCE OUTPUT [SETTINGS]
  echo "$build/bin/tov --tov-working-dir $work/ --tov-sdk-dir $sdk/ --tov-intermediate-dir i \
--tov-command cook_texture --tov-command-in-file $work/$1 ${3:+$work/$3} --tov-command-out-file $work/$2"
}
alternate="$(dirname "$0")/alternate.py"
rounds=${ROUNDS:-10}
python3 "$alternate" "$rounds" "step ASTC 6x6" "$(step t.png t.ktx2 t.png.toml)" \
  "astcenc -j 1" "astcenc -cs $work/t.png $work/ref.astc 6x6 -medium -j 1 -silent"
python3 "$alternate" "$rounds" "step ASTC 6x6" "$(step t.png t.ktx2 t.png.toml)" \
  "astcenc, $(nproc) threads" "astcenc -cs $work/t.png $work/ref.astc 6x6 -medium -silent"
python3 "$alternate" "$rounds" "step BC3" "$(step bc3.png bc3.ktx2 bc3.png.toml)" \
  "convert DXT5" "$convert $work/t.png -define dds:compression=dxt5 -define dds:mipmaps=0 $work/ref.dds"
python3 "$alternate" "$rounds" "step BC3, fast" "$(step fast.png fast.ktx2 fast.png.toml)" \
  "convert DXT5" "$convert $work/t.png -define dds:compression=dxt5 -define dds:mipmaps=0 $work/ref.dds"
python3 "$alternate" "$rounds" "step BC1, all levels" "$(step bc3.png all.ktx2)" \
  "step BC1, level 0" "$(step one.png one.ktx2 one.png.toml)"

# Level 0 of the step's texture as an .astc file (16-byte header), so that
# astcenc decodes both sides alike.
python3 - "$work/t.ktx2" "$work/ours.astc" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
width, height = struct.unpack_from("<II", data, 12 + 8)
offset, length = struct.unpack_from("<QQ", data, 80)
header = struct.pack("<I3B", 0x5CA1AB13, 6, 6, 1)
size = lambda v: struct.pack("<I", v)[:3]
open(sys.argv[2], "wb").write(header + size(width) + size(height) + size(1) + data[offset:offset + length])
PY
# And the BC3 level 0 as a DXT5 .dds, which ImageMagick decodes.
for name in bc3 fast; do python3 - "$work/$name.ktx2" "$work/$name.dds" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
width, height = struct.unpack_from("<II", data, 12 + 8)
offset, length = struct.unpack_from("<QQ", data, 80)
pixel_format = struct.pack("<II4s5I", 32, 0x4, b"DXT5", 0, 0, 0, 0, 0)
header = struct.pack("<7I44x", 124, 0x81007, height, width, length, 0, 0) + pixel_format
header += struct.pack("<5I", 0x1000, 0, 0, 0, 0)
open(sys.argv[2], "wb").write(b"DDS " + header + data[offset:offset + length])
PY
done
astcenc -ds "$work/ours.astc" "$work/ours.png" -silent
astcenc -ds "$work/ref.astc" "$work/ref.png" -silent
psnr() { $convert "$work/t.png" "$work/$1" -alpha off -metric PSNR -compare -format "%[distortion]" info: 2>/dev/null; }
echo "PSNR, ASTC 6x6 medium: step $(psnr ours.png) dB, astcenc $(psnr ref.png) dB"
echo "PSNR, BC3: step $(psnr bc3.dds) dB, step fast $(psnr fast.dds) dB, convert $(psnr ref.dds) dB"
