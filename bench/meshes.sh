#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# The mesh step (tool start, loading Assimp and meshoptimizer, import,
# cache, overdraw and fetch ordering, two simplified levels) on a bumpy grid
# of SIDE x SIDE quads in OBJ, next to `assimp export` of the same file to
# Assimp's binary format (import and write, no optimising), with triangles
# per second for both. Installs assimp-utils when assimp is missing.
# Usage: bench/meshes.sh [SIDE] [build]
set -euo pipefail
side=${1:-400}
build=$(cd "${2:-build}" && pwd)
sdk=$(cd "$(dirname "$0")/../sdk" && pwd)
"$(dirname "$0")/need.sh" assimp:assimp-utils
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work/grid.obj" "$side" <<'PY'
import math, sys
n = int(sys.argv[2])
with open(sys.argv[1], "w") as out:
    for y in range(n + 1):
        out.write("".join(f"v {x * 0.1:.4f} {y * 0.1:.4f} {0.3 * math.sin(x * 0.2) * math.cos(y * 0.15):.4f}\n"
                          for x in range(n + 1)))
    for y in range(n):
        for x in range(n):
            a = y * (n + 1) + x + 1
            out.write(f"f {a} {a + 1} {a + n + 2}\nf {a} {a + n + 2} {a + n + 1}\n")
PY
step="$build/bin/tov --tov-working-dir $work/ --tov-sdk-dir $sdk/ --tov-intermediate-dir i \
--tov-command cook_mesh --tov-command-in-file $work/grid.obj --tov-command-out-file $work/grid.mesh"
export_="assimp export $work/grid.obj $work/grid.assbin"
line=$(python3 "$(dirname "$0")/alternate.py" "${ROUNDS:-5}" "mesh step" "$step" "assimp export" "$export_")
echo "$line"
python3 -c "import re, sys; t = sys.argv[1]; n = 2 * int(sys.argv[2]) ** 2
a, b = (float(x) for x in re.findall(r'([0-9.]+) ms', t)[:2])
print(f'{n:,} triangles: mesh step {n / a * 1e3:,.0f} triangles/s, assimp export {n / b * 1e3:,.0f} triangles/s')" \
  "$line" "$side"
