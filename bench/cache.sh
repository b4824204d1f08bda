#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# The shared build cache and the launcher, on a tree of COUNT textures
# (128x128 PNGs, full mip chains) and COUNT fragment shaders, each build a
# clean one (new folder): cold without a cache; cold with an empty folder
# cache and with an empty Redis (what a cache adds to a build that finds
# nothing); warm from each (a second folder of the same tree). Then the
# launcher's cost per step: the shaders built locally, through `env` (a
# launcher that does nothing) and through `srun --quiet` on the one-node
# cluster of scripts/slurm-cluster (run as root). Needs ImageMagick's
# convert, redis-server and Slurm (installed by scripts/setup).
# Usage: bench/cache.sh [COUNT] [build]
set -euo pipefail
count=${1:-100}
build=$(cd "${2:-build}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
"$(dirname "$0")/need.sh" /usr/bin/convert:imagemagick
work=$(mktemp -d /tmp/tov_bench_cache_XXXXXX)
stop() {
  "$root/scripts/redis-server" stop "$work/redis"
  "$root/scripts/slurm-cluster" stop "$work/slurm"
  rm -rf "$work"
}
trap stop EXIT
mkdir -p "$work/tree/assets/textures" "$work/tree/assets/shaders"
for ((i = 0; i < count; ++i)); do
  /usr/bin/convert -seed "$i" -size 128x128 plasma: -depth 8 -define png:color-type=2 \
    "$work/tree/assets/textures/t$i.png"
  cat > "$work/tree/assets/shaders/s$i.frag" <<GLSL
#version 450
#include <tov_color.glsl>
layout(location = 0) in vec2 uv;
layout(location = 0) out vec4 color;
layout(binding = 0) uniform sampler2D albedo;
void main() { color = vec4(tov_linear_to_srgb(texture(albedo, uv * float($i + 1)).rgb), 1.0); }
GLSL
done
redis=$("$root/scripts/redis-server" start "$work/redis")
# A clean build of the tree into FOLDER with OPTIONS.
cat > "$work/build.sh" <<SH
#!/usr/bin/env bash
set -euo pipefail
folder=\$1; shift
cd "$work/tree" && rm -rf "\$folder"
"$build/bin/tov" --tov-working-dir "$work/tree/" --tov-sdk-dir "$root/sdk/" \
  --tov-intermediate-dir "\$folder/i" --tov-out game.tov --tov-out-dir "\$folder" \
  --tov-dir assets/ --tov-rule-file rules/tov.ninja rules/render.ninja rules/image.ninja "\$@" > /dev/null
ninja -C "\$folder" > /dev/null
SH
chmod +x "$work/build.sh"
b=$work/build.sh
folder="file://$work/cache"
flush="rm -rf $work/cache; redis-cli -p ${redis##*:} flushall > /dev/null"
echo "== $((2 * count)) cooked assets, clean builds"
hyperfine -N --runs "${ROUNDS:-3}" --export-markdown "$work/cold.md" \
  --prepare "bash -c '$flush'" -n "cold, no cache" "$b a" \
  --prepare "bash -c '$flush'" -n "cold, empty folder cache" "$b a --tov-cache $folder" \
  --prepare "bash -c '$flush'" -n "cold, empty Redis" "$b a --tov-cache $redis" > /dev/null
"$b" warm --tov-cache "$folder"
"$b" warm --tov-cache "$redis"
hyperfine -N --runs "${ROUNDS:-3}" --export-markdown "$work/warm.md" \
  -n "warm folder cache" "$b b --tov-cache $folder" \
  -n "warm Redis" "$b b --tov-cache $redis" > /dev/null
cat "$work/cold.md" "$work/warm.md"

if [ "$(id -u)" -eq 0 ]; then
  export SLURM_CONF
  SLURM_CONF=$("$root/scripts/slurm-cluster" start "$work/slurm")
  rm -rf "$work/tree/assets/textures"
  echo "== $count shader steps: locally, through env, through srun (4 at once)"
  hyperfine -N --runs "${ROUNDS:-3}" --export-markdown "$work/launch.md" \
    -n local "$b c --tov-remote-jobs 4" \
    -n "env" "$b c --tov-launcher env --tov-remote-jobs 4" \
    -n "srun --quiet" "$b c --tov-launcher 'srun --quiet' --tov-remote-jobs 4" > /dev/null
  cat "$work/launch.md"
fi
