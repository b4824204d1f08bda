#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# What --tov-regenerate adds to a Ninja run with nothing to do: the same tree
# built with and without it, timed side by side. Ninja looks at every folder
# of the tree, so the cost follows the number of folders; two layouts of the
# same files are measured: the synthetic tree (about one file per folder)
# and one with about twenty files per folder, as asset trees hold them.
# Usage: bench/regenerate.sh [COUNT] [build]
set -euo pipefail
count=${1:-10000}
build=$(cd "${2:-build}" && pwd)
sdk=$(cd "$(dirname "$0")/../sdk" && pwd)
work=/tmp/tov_bench_regenerate_$count
rm -rf "$work" && mkdir -p "$work"
"$build/bin/make_tree" "$work/sparse" "$count" > /dev/null
cd "$work"
# The same files, twenty to a folder (hard links).
i=0
while read -r file; do
  folder="dense/area_$(( i % 37 ))/zone_$(( i / 37 % (count / 740 + 1) ))"
  mkdir -p "$folder" && ln "$file" "$folder/"
  i=$(( i + 1 ))
done < <(find sparse -type f | LC_ALL=C sort)
runs=()
for tree in sparse dense; do
  echo "$tree: $(find "$tree" -type f | wc -l) files in $(find "$tree" -type d | wc -l) folders"
  for mode in plain regenerate; do
    extra=()
    [ "$mode" = regenerate ] && extra=(--tov-regenerate)
    out="$tree-$mode"
    "$build/bin/tov" --tov-working-dir "$work/" --tov-sdk-dir "$sdk" --tov-intermediate-dir "$out/i/" \
      --tov-out "$out.tov" --tov-out-dir "$work/$out" --tov-rule-file rules/tov.ninja \
      --tov-dir "$tree/" "${extra[@]}" > /dev/null
    ninja -C "$out" > /dev/null
    runs+=("ninja -C $out")
  done
done
hyperfine -N -w 3 -r 30 "${runs[@]}"
