#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# The "tov" pack step alone on a synthetic tree, next to tar -cf of the same
# files and to a loop that only opens and reads every file (the read floor).
# The pack also runs with its archive on a tmpfs (/dev/shm), where neither
# the sync before the rename nor the freeing of the replaced archive waits
# for a disk: the difference is the file system's share of the time. The
# write floor is dd writing as many bytes as the archive holds, synced, over
# the file it wrote the time before: what a durable archive costs the disk.
# Usage: bench/pack.sh [COUNT] [build]   (uses bench/archive.sh's tree)
set -euo pipefail
count=${1:-10000}
build=$(cd "${2:-build}" && pwd)
work=/tmp/tov_bench_archive_$count
[ -f "$work/pack.txt" ] || "$(dirname "$0")/archive.sh" "$count" "$build" > /dev/null
sed "s|^|$work/tree/|" "$work/names.txt" > "$work/paths.txt"
shm=
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  shm=$(mktemp -d /dev/shm/tov_pack.XXXXXX)
  trap 'rm -rf "$shm"' EXIT
fi
megabytes=$(( ($(stat -c %s "$work/tree.tov") + (1 << 20) - 1) >> 20 ))
hyperfine --warmup 2 --runs 15 \
  "$build/bin/read_floor $work/paths.txt" \
  "dd if=/dev/zero of=$work/write_floor.bin bs=1M count=$megabytes conv=fsync status=none" \
  "tar -cf $work/tree.tar -C $work/tree -T $work/names.txt" \
  "$build/bin/tov --tov-working-dir $work/ --tov-sdk-dir / --tov-intermediate-dir tree --tov-command tov --arg-file $work/pack.txt --tov-command-out-file $work/packed.tov" \
  ${shm:+"$build/bin/tov --tov-working-dir $work/ --tov-sdk-dir / --tov-intermediate-dir tree --tov-command tov --arg-file $work/pack.txt --tov-command-out-file $shm/packed.tov"}
