#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# The font step on the example font: printable ASCII and Latin-1 at 32 and
# at 64 pixels per em, as glyphs per second of the whole step (tool start,
# FreeType's SDF renderer, packing, kerning).
# Usage: bench/fonts.sh [build]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 32 64; do
  cp "$root/examples/assets/fonts/dejavu_sans_extralight.ttf" "$work/f$size.ttf"
  printf 'size = %s\n' "$size" > "$work/f$size.ttf.toml"
  command="$build/bin/tov --tov-working-dir $work/ --tov-sdk-dir $root/sdk/ --tov-intermediate-dir i \
--tov-command cook_font --tov-command-in-file $work/f$size.ttf $work/f$size.ttf.toml \
--tov-command-out-file $work/f$size.font"
  hyperfine -N -w 2 -r "${ROUNDS:-10}" --export-json "$work/t.json" "$command" > /dev/null
  glyphs=$(python3 -c "import struct,sys; print(struct.unpack_from('<I', open(sys.argv[1],'rb').read(), 36)[0])" "$work/f$size.font")
  python3 -c "import json,sys; t = json.load(open(sys.argv[1]))['results'][0]['median'];
print(f'{sys.argv[2]} px: {int(sys.argv[3])} glyphs in {t*1e3:.1f} ms, {int(sys.argv[3])/t:,.0f} glyphs/s')" \
    "$work/t.json" "$size" "$glyphs"
done
