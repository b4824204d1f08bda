#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# A data build of a synthetic tree through Ninja, then the rebuild after one
# changed file, against the full build; the rebuild's time is split into
# its steps (copy, catalogue, pack) from .ninja_log and Ninja's own share.
# Usage: bench/incremental.sh [COUNT] [build]
set -euo pipefail
count=${1:-10000}
build=$(cd "${2:-build}" && pwd)
sdk=$(cd "$(dirname "$0")/../sdk" && pwd)
work=/tmp/tov_bench_incremental_$count
rm -rf "$work" && mkdir -p "$work"
"$build/bin/make_tree" "$work/tree" "$count" > /dev/null
cd "$work"
"$build/bin/tov" --tov-working-dir "$work/" --tov-sdk-dir "$sdk" --tov-intermediate-dir out/i/ \
  --tov-out bench.tov --tov-rule-file rules/tov.ninja --tov-dir tree/ > /dev/null
ms() { echo $(( $(date +%s%N) / 1000000 )); }
start=$(ms); ninja -C out > /dev/null; full=$(( $(ms) - start ))
changed=$(find tree -name '*.bin' | LC_ALL=C sort | sed -n 7p)
rounds=5
total=0
for ((r = 0; r < rounds; ++r)); do
  printf 'x' >> "$changed"
  lines=$(wc -l < out/.ninja_log)
  start=$(ms); ninja -C out > /dev/null; took=$(( $(ms) - start ))
  total=$(( total + took ))
  # Columns: start and end (ms since the build began), mtime, target.
  tail -n +$(( lines + 1 )) out/.ninja_log | awk -v took="$took" '
    $4 ~ /all\.fileinfo$/ { catalogue += $2 - $1; next }
    $4 ~ /\.tov$/ { pack += $2 - $1; next }
    { copy += $2 - $1 }
    END { printf "rebuild %d ms: copy %d, catalogue %d, pack %d, Ninja and the rest %d\n",
          took, copy, catalogue, pack, took - copy - catalogue - pack }'
done
echo "full build $full ms; rebuild after one change $(( total / rounds )) ms (mean of $rounds)"
