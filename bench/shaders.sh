#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# The shader step (tool start, loading the compiler library, compile,
# validate, depfile) for one fragment shader with an include, next to a
# glslc process compiling the same file at the same optimisation level;
# then a Ninja build of COUNT such shaders on every core, with the share of
# the cores it kept busy. Installs glslc when it is missing.
# Usage: bench/shaders.sh [COUNT] [build]
set -euo pipefail
count=${1:-200}
build=$(cd "${2:-build}" && pwd)
sdk=$(cd "$(dirname "$0")/../sdk" && pwd)
"$(dirname "$0")/need.sh" glslc:glslc
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tree/shaders"
cat > "$work/tree/shaders/lighting.glsl" <<'GLSL'
vec3 shade(vec3 n, vec3 l, vec3 albedo) {
  float d = max(dot(normalize(n), normalize(l)), 0.0);
  return albedo * (0.1 + 0.9 * d);
}
GLSL
for ((i = 0; i < count; ++i)); do
  cat > "$work/tree/shaders/s$i.frag" <<GLSL
#version 450
#include "lighting.glsl"
#include <tov_color.glsl>
layout(location = 0) in vec3 normal;
layout(location = 1) in vec2 uv;
layout(location = 0) out vec4 color;
layout(binding = 0) uniform sampler2D albedo;
layout(binding = 1) uniform Light { vec3 direction; float intensity; } light;
void main() {
  vec3 base = tov_srgb_to_linear(texture(albedo, uv * float($i + 1)).rgb);
  vec3 lit = shade(normal, light.direction, base) * light.intensity;
  color = vec4(tov_linear_to_srgb(lit), 1.0);
}
GLSL
done
first=$work/tree/shaders/s0.frag
step="$build/bin/tov --tov-working-dir $work/tree/ --tov-sdk-dir $sdk/ --tov-intermediate-dir i \
--tov-command compile_shader --tov-command-in-file $first --tov-command-out-file $work/step.spv \
--tov-shader-depfile $work/step.d"
glslc="glslc -O --target-env=vulkan1.0 -I $sdk/include/shaders -MD -MF $work/glslc.d $first \
-o $work/glslc.spv"
python3 "$(dirname "$0")/alternate.py" "${ROUNDS:-20}" "shader step" "$step" "glslc" "$glslc"

cd "$work/tree"
"$build/bin/tov" --tov-working-dir "$work/tree/" --tov-sdk-dir "$sdk" --tov-intermediate-dir out/i \
  --tov-out shaders.tov --tov-out-dir "$work/tree/out" --tov-dir shaders/ \
  --tov-rule-file rules/tov.ninja rules/render.ninja > /dev/null
/usr/bin/time -f "%e %U %S" -o "$work/time" ninja -C out > /dev/null
read -r wall user system < "$work/time"
python3 -c "import sys; w, u, s, n, cores = map(float, sys.argv[1:]);
print(f'ninja, {int(n)} shaders: {w:.2f} s wall, {u + s:.2f} s on the cores, '
      f'{(u + s) / w:.2f} of {int(cores)} cores busy')" "$wall" "$user" "$system" "$count" "$(nproc)"
