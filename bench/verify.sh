#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# Verification and listing on crafted worst cases, packed by the tool itself:
# a string table of a million offsets into one long string (1, 4 and 16 MB),
# whose strings each must end inside its data, and a folder of 16,384 files
# of as many type codes. Each is timed through tov-archive (verify, list);
# with a second build folder, that build's tov-archive is timed beside it.
# Usage: bench/verify.sh [build] [other build]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
other=${2:+$(cd "$2" && pwd)}
work=/tmp/tov_bench_verify
rm -rf "$work" && mkdir -p "$work/tree"
pack() {  # pack ARCHIVE TYPE... : every file of the tree, the catalogue last
  local archive=$1; shift
  (cd "$work/tree" && find . -type f ! -name all.fileinfo | sed "s|^\./|$work/tree/|" | LC_ALL=C sort) > "$work/files.txt"
  tov() { "$build/bin/tov" --tov-working-dir "$work/" --tov-sdk-dir / --tov-intermediate-dir tree "$@"; }
  { echo --tov-command-in-file; cat "$work/files.txt"; } > "$work/in.txt"
  tov --tov-command fileinfo --arg-file "$work/in.txt" --tov-command-out-file "$work/tree/all.fileinfo" > /dev/null
  { cat "$work/in.txt"; echo "$work/tree/all.fileinfo"; echo --tov-types; "$@"; echo 2; } > "$work/pack.txt"
  tov --tov-command tov --arg-file "$work/pack.txt" --tov-command-out-file "$archive" > /dev/null
}
commands=()
for mb in 1 4 16; do
  rm -rf "$work/tree" && mkdir -p "$work/tree"
  python3 - "$work/tree/s.strtbl" "$mb" <<'PY'
import struct, sys
size = int(sys.argv[2]) << 20
count = size // 16                      # half the bytes are offsets, all 0
text = b"a" * (size - 8 - 8 * count - 1) + b"\0"
open(sys.argv[1], "wb").write(struct.pack("<Q", count) + b"\0" * (8 * count) + text)
PY
  pack "$work/strings_$mb.tov" echo 6
  commands+=("$build/bin/tov-archive verify $work/strings_$mb.tov")
done
rm -rf "$work/tree" && mkdir -p "$work/tree/f"
python3 - "$work/tree/f" <<'PY'
import sys
for i in range(16384):
    open(f"{sys.argv[1]}/t{i:05}.bin", "wb").write(bytes(200))
PY
pack "$work/types.tov" seq 7 16390
commands+=("$build/bin/tov-archive list $work/types.tov f/")
runs=()
for command in "${commands[@]}"; do
  runs+=("$command")
  # The other build only where it ends in reasonable time (1 MB, the listing).
  if [ -n "$other" ] && { [[ $command == *strings_1.tov ]] || [[ $command == *types.tov* ]]; }; then
    runs+=("${command/$build/$other}")
  fi
done
hyperfine --warmup 1 --runs 5 --output=null "${runs[@]}"
