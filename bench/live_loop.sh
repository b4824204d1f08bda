#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# From the save of one file to a game reading its new bytes, side by side in
# one run: today's way (a whole `ninja`: catalogue and whole pack, the game
# reloading the new archive) against the live loop (tov --tov-watch on a
# build generated with --tov-overlay --tov-regenerate: the file's step and
# the overlay, the game reloading the overlay). Trees of COUNTS files
# (10,000 and 100,000) of MEGABYTES in all (1100: archives over 1 GB), one
# per build so that a save for one does not wake the other; the game
# reloads every 10 ms. Prints each side's median over ROUNDS saves.
# Usage: bench/live_loop.sh [build]   (COUNTS, MEGABYTES, ROUNDS: 7)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
sdk=$(cd "$(dirname "$0")/../sdk" && pwd)
rounds=${ROUNDS:-7}
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.1f", v[int((NR + 1) / 2)] }'; }
for count in ${COUNTS:-10000 100000}; do
  work=/tmp/tov_bench_live_$count
  if [ ! -f "$work/ready" ]; then
    for side in base live; do
      if [ ! -f "$work/$side/tree.done" ]; then
        rm -rf "${work:?}/$side" && mkdir -p "$work/$side"
        "$build/bin/live_loop" tree "$work/$side/tree" "$count" "${MEGABYTES:-1100}"
        touch "$work/$side/tree.done"
      fi
      options=()
      [ "$side" = live ] && options=(--tov-overlay --tov-regenerate)
      (cd "$work/$side" && "$build/bin/tov" --tov-working-dir "$work/$side/" --tov-sdk-dir "$sdk" \
        --tov-intermediate-dir out/i --tov-out game.tov --tov-out-dir out \
        --tov-rule-file rules/tov.ninja --tov-dir tree/ "${options[@]}" > /dev/null)
      ninja -C "$work/$side/out" > "$work/$side/first_build.log"
    done
    touch "$work/ready"
  fi
  "$build/bin/tov" --tov-watch "$work/live/out" > "$work/watch.log" 2>&1 &
  watcher=$!
  trap 'kill -INT $watcher 2> /dev/null || true' EXIT
  lines() { grep -c -E ': (built in|FAILED after) ' "$work/watch.log" || true; }
  until [ "$(lines)" -ge 1 ]; do sleep 0.1; done
  : > "$work/base.ms"
  : > "$work/live.ms"
  for ((round = 1; round <= rounds; ++round)); do
    name=$(printf 'd%02d/f%07d.bin' $(( (round * 7919) % count % 97 )) $(( (round * 7919) % count )))
    "$build/bin/live_loop" save "$work/base/out/game.tov" "$name" "$work/base/tree/$name" \
      "$work/base/out" >> "$work/base.ms"
    before=$(lines)
    "$build/bin/live_loop" save "$work/live/out/game.tov" "$name" "$work/live/tree/$name" \
      >> "$work/live.ms"
    until [ "$(lines)" -gt "$before" ]; do sleep 0.05; done  # the watcher is idle again
  done
  kill -INT $watcher && wait $watcher || true
  trap - EXIT
  base=$(median < "$work/base.ms")
  live=$(median < "$work/live.ms")
  echo "== $count files, $(( $(stat -c %s "$work/base/out/game.tov") >> 20 )) MB archive"
  echo "whole ninja and pack  ${base} ms   ($(tr '\n' ' ' < "$work/base.ms"))"
  echo "watcher and overlay   ${live} ms   ($(tr '\n' ' ' < "$work/live.ms"))"
  awk -v b="$base" -v l="$live" 'BEGIN { printf "ratio                 %.3f\n", l / b }'
  echo "$count $live" >> "/tmp/tov_bench_live_medians"
done
