// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "zu_sys.h"

namespace {
struct Shared {
  ZuMutex* mutex;
  ZuCond* cond;
  ZuAtomic* counter;
  ZuTls* tls;
  bool ready;
};

u32 worker(void* argument) {
  Shared* shared = (Shared*)argument;
  thread_tls_set(shared->tls, (void*)0x22);
  for (int i = 0; i < 1000; ++i) thread_atomic_increment(shared->counter);
  thread_mutex_lock(shared->mutex);
  shared->ready = true;
  thread_cond_wake_all(shared->cond);
  thread_mutex_unlock(shared->mutex);
  return thread_tls_get(shared->tls) == (void*)0x22 ? 7 : 0;
}
}  // namespace

TEST(Thread, ThreadsConditionsAtomicsAndThreadLocals) {
  Shared shared = {thread_mutex_create(), thread_cond_create(), thread_atomic_create(),
                   thread_tls_create(), false};
  thread_tls_set(shared.tls, (void*)0x11);
  ZuThread* threads[4];
  for (u64 i = 0; i < 4; ++i) threads[i] = thread_thread_create(worker, &shared, "worker", i);
  thread_mutex_lock(shared.mutex);
  while (!shared.ready) thread_cond_wait(shared.cond, shared.mutex);
  thread_mutex_unlock(shared.mutex);
  for (ZuThread* thread : threads) {
    EXPECT_EQ(thread_thread_join(thread), 7u);
    thread_thread_destroy(thread);
  }
  EXPECT_EQ(thread_atomic_get(shared.counter), 4000u);
  EXPECT_EQ(thread_tls_get(shared.tls), (void*)0x11);  // each thread has its own
  thread_mutex_lock(shared.mutex);
  thread_mutex_lock(shared.mutex);  // reentrant: would deadlock on a plain mutex
  thread_mutex_unlock(shared.mutex);
  EXPECT_FALSE(thread_cond_wait_time(shared.cond, shared.mutex, 0));
  EXPECT_FALSE(thread_cond_wait_time(shared.cond, shared.mutex, 20));
  thread_mutex_unlock(shared.mutex);
  thread_tls_destroy(shared.tls);
  thread_atomic_destroy(shared.counter);
  thread_cond_destroy(shared.cond);
  thread_mutex_destroy(shared.mutex);
  EXPECT_GE(thread_util_hardware_concurrency(), 1u);
}
