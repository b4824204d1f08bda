#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# Packs a synthetic tree of COUNT files with the fileinfo and tov commands,
# zips the same files stored (for PhysFS), and runs archive_bench on them.
# Usage: bench/archive.sh [COUNT] [build]
set -euo pipefail
count=${1:-10000}
build=$(cd "${2:-build}" && pwd)
work=/tmp/tov_bench_archive_$count
if [ ! -f "$work/tree.tov" ]; then
  rm -rf "$work" && mkdir -p "$work"
  "$build/bin/make_tree" "$work/tree" "$count"
  (cd "$work/tree" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) > "$work/names.txt"
  { echo --tov-command-in-file; sed "s|^|$work/tree/|" "$work/names.txt"; } > "$work/inputs.txt"
  tov() { "$build/bin/tov" --tov-working-dir "$work/" --tov-sdk-dir / --tov-intermediate-dir tree "$@"; }
  tov --tov-command fileinfo --arg-file "$work/inputs.txt" --tov-command-out-file "$work/tree/all.fileinfo"
  { cat "$work/inputs.txt"; echo "$work/tree/all.fileinfo"; echo --tov-types;
    for ((i = 0; i <= count; ++i)); do echo 2; done; } > "$work/pack.txt"
  tov --tov-command tov --arg-file "$work/pack.txt" --tov-command-out-file "$work/tree.tov"
  (cd "$work/tree" && zip -0 -r -q "$work/tree.zip" . -x all.fileinfo)
fi
# Each benchmark in a process of its own, in turn, ROUNDS times; medians.
python3 "$(dirname "$0")/rounds.py" "${ROUNDS:-5}" "$build/bin/archive_bench" \
  "$work/tree.tov" "$work/tree.zip" "$work/names.txt"
