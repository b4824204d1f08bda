#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# A full Ninja build of the intermediates of a synthetic tree of .bin files
# (the copy command) against the same graph with `cp $in $out` and with
# /bin/true as the command, then the no-op rebuild. One hyperfine run.
# Usage: bench/ninja_build.sh [COUNT] [build]
set -euo pipefail
count=${1:-10000}
build=$(cd "${2:-build}" && pwd)
sdk=$(cd "$(dirname "$0")/../sdk" && pwd)
work=/tmp/tov_bench_ninja_$count
rm -rf "$work" && mkdir -p "$work/tree"
for ((i = 0; i < count; ++i)); do printf 'data %d\n' $i > "$work/tree/f_$((i % 100))_$i.bin"; done 2>/dev/null || true
cd "$work"
"$build/bin/tov" --tov-working-dir "$work" --tov-sdk-dir "$sdk" --tov-intermediate-dir out/i \
  --tov-out bench.tov --tov-rule-file rules/tov.ninja --tov-dir tree/ > /dev/null
# One phony target for every copy statement: the intermediates without the
# catalogue and pack steps.
ninja -C out -t targets rule copy | sed 's/^/ /' | tr -d '\n' > targets.txt
{ printf '\nbuild intermediates : phony'; cat targets.txt; echo; } >> out/build.ninja
targets=intermediates
# The peers: the same statements, other commands.
for peer in cp true; do
  mkdir -p "peer_$peer"
  {
    echo "rule r"
    if [ $peer = cp ]; then echo '  command = cp $in $out'; else echo '  command = /bin/true'; fi
    grep '^build ${od}' out/build.ninja | grep ' : copy ' |
      sed -e "s|\${od}|$work/peer_$peer/o/|" -e "s|\${wd}|$work/|" -e 's/ : copy / : r /' -e 's/ | .*$//'
  } > "peer_$peer/build.ninja"
done
hyperfine --runs 3 \
  --prepare "find $work/out/i -mindepth 1 -delete; rm -f $work/out/.ninja_log" "ninja -C out $targets" \
  --prepare "rm -rf $work/peer_cp/o $work/peer_cp/.ninja_log" "ninja -C peer_cp" \
  --prepare "rm -rf $work/peer_true/.ninja_log" "ninja -C peer_true"
# The no-op rebuild: Ninja's own work.
hyperfine --warmup 1 --runs 5 "ninja -C out $targets" "ninja -C peer_cp"
