#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# Generation (scan + build.ninja) for a synthetic tree, next to find listing
# the same tree, in one hyperfine run. Usage: bench/generation.sh [COUNT] [build]
set -euo pipefail
count=${1:-100000}
build=$(cd "${2:-build}" && pwd)
sdk=$(cd "$(dirname "$0")/../sdk" && pwd)
work=/tmp/tov_bench_generation_$count
mkdir -p "$work"
[ -d "$work/tree" ] || "$build/bin/make_tree" "$work/tree" "$count"
cd "$work"
printf '.sol copy 20\n* copy 2\n' > endings.txt
generate="$build/bin/tov --tov-working-dir $work --tov-sdk-dir $sdk --tov-intermediate-dir out/i --tov-out bench.tov --tov-rule-file rules/tov.ninja --tov-dir tree/"
# Also with the options for real trees: names normalized, an endings file.
hyperfine --warmup 2 --runs 10 \
  "find tree -type f" \
  "$generate" \
  "$generate --tov-normalize-names --tov-endings endings.txt"
