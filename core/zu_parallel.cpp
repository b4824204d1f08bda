// SPDX-License-Identifier: Zlib
#include "zu_parallel.h"

namespace {

constexpr u64 kMaxParts = 8;

struct Part {
  ZuPartFunction function;
  void* argument;
  u64 begin;
  u64 end;
};

u32 run_part(void* argument) {
  Part* part = (Part*)argument;
  part->function(part->argument, part->begin, part->end);
  return 0;
}

}  // namespace

void zu_parallel_parts(u64 count, u64 min_part, ZuPartFunction function, void* argument) {
  u64 parts = thread_util_hardware_concurrency();
  if (parts > kMaxParts) parts = kMaxParts;
  if (min_part == 0) min_part = 1;
  if (parts > count / min_part) parts = count / min_part;
  if (parts <= 1) {
    if (count) function(argument, 0, count);
    return;
  }
  Part work[kMaxParts];
  ZuThread* threads[kMaxParts] = {};
  for (u64 p = 0; p < parts; ++p)
    work[p] = {function, argument, count * p / parts, count * (p + 1) / parts};
  // A thread that cannot be started leaves its part to the calling thread.
  for (u64 p = 1; p < parts; ++p)
    threads[p] = thread_thread_create(run_part, work + p, "parallel part", ~0ull);
  run_part(work);
  for (u64 p = 1; p < parts; ++p) {
    if (!threads[p]) {
      run_part(work + p);
      continue;
    }
    thread_thread_join(threads[p]);
    thread_thread_destroy(threads[p]);
  }
}
