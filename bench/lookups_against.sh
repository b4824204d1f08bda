#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# Lookups of this build's archive runtime against another revision's, side
# by side in one process (bench/lookups_side_by_side.cpp): single lookups by
# hash and by name, and batches of 64 by hash and by name, on bench/archive.sh's
# tree.
# The other revision is built in a worktree under /tmp.
# Usage: bench/lookups_against.sh REVISION [COUNT] [build]   (ROUNDS: 300)
set -euo pipefail
revision=${1:?usage: bench/lookups_against.sh REVISION [COUNT] [build]}
count=${2:-10000}
build=$(cd "${3:-build}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
work=/tmp/tov_bench_archive_$count
[ -f "$work/tree.tov" ] ||
  BENCH_FILTER='^BM_TovOpen$' ROUNDS=1 "$root/bench/archive.sh" "$count" "$build" > /dev/null
other=/tmp/tov_bench_against_$(git -C "$root" rev-parse --short "$revision")
[ -d "$other" ] || git -C "$root" worktree add --detach "$other" "$revision" > /dev/null
cmake -S "$other" -B "$other/build" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
# Both through the runtime library, or both through the tool module where
# the other revision is older than the library (the module held the runtime).
library=bin/libtov_archive.so
targets=$(ninja -C "$other/build" -t targets all)
grep -q "^$library:" <<< "$targets" || library=bin/tov.x86_64
ninja -C "$other/build" "$library" > /dev/null
ninja -C "$build" "$library" > /dev/null
ninja -C "$build" lookups_side_by_side > /dev/null
for mode in hash name batch names; do
  echo "== $mode"
  "$build/bin/lookups_side_by_side" "$mode" "$work/tree.tov" "$work/names.txt" "${ROUNDS:-300}" \
    "$other/build/$library" "$build/$library"
done
