#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# A Ninja build of COUNT textures (256x256 colour PNGs, full mip chains,
# BC1) and COUNT fragment shaders, with the share of the cores it kept busy.
# Needs ImageMagick's convert for the source images (installed if missing).
# Usage: bench/cook_build.sh [COUNT] [build]
set -euo pipefail
count=${1:-100}
build=$(cd "${2:-build}" && pwd)
sdk=$(cd "$(dirname "$0")/../sdk" && pwd)
"$(dirname "$0")/need.sh" /usr/bin/convert:imagemagick
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tree/textures" "$work/tree/shaders"
for ((i = 0; i < count; ++i)); do
  # Different content for each, so no encoder sees the same blocks twice.
  /usr/bin/convert -seed "$i" -size 256x256 plasma: -depth 8 -define png:color-type=2 \
    "$work/tree/textures/t$i.png"
  cat > "$work/tree/shaders/s$i.frag" <<GLSL
#version 450
#include <tov_color.glsl>
layout(location = 0) in vec2 uv;
layout(location = 0) out vec4 color;
layout(binding = 0) uniform sampler2D albedo;
void main() { color = vec4(tov_linear_to_srgb(texture(albedo, uv * float($i + 1)).rgb), 1.0); }
GLSL
done
cd "$work/tree"
"$build/bin/tov" --tov-working-dir "$work/tree/" --tov-sdk-dir "$sdk" --tov-intermediate-dir out/i \
  --tov-out cooked.tov --tov-out-dir "$work/tree/out" --tov-dir textures/ shaders/ \
  --tov-rule-file rules/tov.ninja rules/image.ninja rules/render.ninja > /dev/null
/usr/bin/time -f "%e %U %S" -o "$work/time" ninja -C out > /dev/null
read -r wall user system < "$work/time"
python3 -c "import sys; w, u, s, n, cores = map(float, sys.argv[1:]);
print(f'ninja, {int(n)} textures and {int(n)} shaders: {w:.2f} s wall, {u + s:.2f} s on the cores, '
      f'{(u + s) / w:.2f} of {int(cores)} cores busy')" "$wall" "$user" "$system" "$count" "$(nproc)"
