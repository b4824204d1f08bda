#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# What Ninja itself costs as a tree grows: for trees of 10,000 and 100,000
# small files, generation (the tool writing build.ninja), Ninja loading the
# graph and planning a clean build (`ninja -n`, stating every file), and
# the no-op check after a build, each a median of ROUNDS.
# Usage: bench/ninja_scale.sh [build]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
sdk=$(cd "$(dirname "$0")/../sdk" && pwd)
for count in 10000 100000; do
  work=/tmp/tov_bench_ninja_scale_$count
  if [ ! -f "$work/done" ]; then
    rm -rf "$work" && mkdir -p "$work"
    python3 - "$work/tree" "$count" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    folder = f"{root}/area_{i % 37:02d}/zone_{i % 101:03d}"
    os.makedirs(folder, exist_ok=True)
    with open(f"{folder}/item_{i:06d}.bin", "w") as f:
        f.write(f"{i}\n")
PY
    touch "$work/done"
  fi
  generate="$build/bin/tov --tov-working-dir $work/ --tov-sdk-dir $sdk --tov-intermediate-dir out/i \
--tov-out bench.tov --tov-out-dir $work/out --tov-rule-file rules/tov.ninja --tov-dir tree/"
  (cd "$work" && $generate > /dev/null)
  echo "== $count files"
  hyperfine -N --runs "${ROUNDS:-5}" --warmup 1 -n generation "$generate" \
    -n "ninja -n (load, stat, plan)" "ninja -C $work/out -n" 2> /dev/null | grep -E "^Benchmark|Time"
  ninja -C "$work/out" > /dev/null
  hyperfine -N --runs "${ROUNDS:-5}" --warmup 1 -n "no-op ninja" "ninja -C $work/out" 2> /dev/null |
    grep -E "^Benchmark|Time"
done
