// SPDX-License-Identifier: Zlib
#include <errno.h>
#include <pthread.h>
#include <sched.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "internal.h"

struct ZuThread {
  pthread_t thread;
  ZuThreadFunction function;
  void* argument;
  u32 result;
  bool joined;
};

struct ZuMutex {
  pthread_mutex_t mutex;
};

struct ZuCond {
  pthread_cond_t cond;
};

struct ZuTls {
  pthread_key_t key;
};

struct ZuAtomic {
  u64 value;
};

namespace {

void* thread_start(void* argument) {
  ZuThread* thread = (ZuThread*)argument;
  thread->result = thread->function(thread->argument);
  return nullptr;
}

}  // namespace

ZuThread* thread_thread_create(ZuThreadFunction function, void* argument, const char* name,
                               u64 processor) {
  ZuThread* thread = (ZuThread*)sys_malloc(sizeof(ZuThread));
  memset(thread, 0, sizeof(*thread));
  thread->function = function;
  thread->argument = argument;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  if (processor < CPU_SETSIZE && processor < thread_util_hardware_concurrency()) {
    // Pin to the processor-th processor this process may use.
    cpu_set_t allowed, pinned;
    CPU_ZERO(&pinned);
    if (sched_getaffinity(0, sizeof(allowed), &allowed) == 0) {
      u64 seen = 0;
      for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (!CPU_ISSET(cpu, &allowed)) continue;
        if (seen++ == processor) {
          CPU_SET(cpu, &pinned);
          pthread_attr_setaffinity_np(&attributes, sizeof(pinned), &pinned);
          break;
        }
      }
    }
  }
  int failed = pthread_create(&thread->thread, &attributes, thread_start, thread);
  pthread_attr_destroy(&attributes);
  if (failed) {
    sys_free(thread);
    return nullptr;
  }
  if (name && name[0]) {
    char short_name[16];
    sys_strncpy(short_name, name, sizeof(short_name));
    pthread_setname_np(thread->thread, short_name);
  }
  return thread;
}

u32 thread_thread_join(ZuThread* thread) {
  if (!thread->joined) {
    pthread_join(thread->thread, nullptr);
    thread->joined = true;
  }
  return thread->result;
}

void thread_thread_destroy(ZuThread* thread) {
  if (!thread) return;
  if (!thread->joined) pthread_detach(thread->thread);
  sys_free(thread);
}

ZuMutex* thread_mutex_create(void) {
  ZuMutex* mutex = (ZuMutex*)sys_malloc(sizeof(ZuMutex));
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&mutex->mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
  return mutex;
}

void thread_mutex_destroy(ZuMutex* mutex) {
  if (!mutex) return;
  pthread_mutex_destroy(&mutex->mutex);
  sys_free(mutex);
}

void thread_mutex_lock(ZuMutex* mutex) { pthread_mutex_lock(&mutex->mutex); }

void thread_mutex_unlock(ZuMutex* mutex) { pthread_mutex_unlock(&mutex->mutex); }

ZuCond* thread_cond_create(void) {
  ZuCond* cond = (ZuCond*)sys_malloc(sizeof(ZuCond));
  pthread_condattr_t attributes;
  pthread_condattr_init(&attributes);
  pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
  pthread_cond_init(&cond->cond, &attributes);
  pthread_condattr_destroy(&attributes);
  return cond;
}

void thread_cond_destroy(ZuCond* cond) {
  if (!cond) return;
  pthread_cond_destroy(&cond->cond);
  sys_free(cond);
}

void thread_cond_wait(ZuCond* cond, ZuMutex* mutex) {
  pthread_cond_wait(&cond->cond, &mutex->mutex);
}

bool thread_cond_wait_time(ZuCond* cond, ZuMutex* mutex, u32 milliseconds) {
  timespec until;
  clock_gettime(CLOCK_MONOTONIC, &until);
  until.tv_sec += milliseconds / 1000;
  until.tv_nsec += (long)(milliseconds % 1000) * 1000000;
  if (until.tv_nsec >= 1000000000) {
    until.tv_sec += 1;
    until.tv_nsec -= 1000000000;
  }
  return pthread_cond_timedwait(&cond->cond, &mutex->mutex, &until) != ETIMEDOUT;
}

void thread_cond_wake_all(ZuCond* cond) { pthread_cond_broadcast(&cond->cond); }

ZuTls* thread_tls_create(void) {
  ZuTls* tls = (ZuTls*)sys_malloc(sizeof(ZuTls));
  pthread_key_create(&tls->key, nullptr);
  return tls;
}

void thread_tls_destroy(ZuTls* tls) {
  if (!tls) return;
  pthread_key_delete(tls->key);
  sys_free(tls);
}

void* thread_tls_get(ZuTls* tls) { return pthread_getspecific(tls->key); }

void thread_tls_set(ZuTls* tls, void* value) { pthread_setspecific(tls->key, value); }

ZuAtomic* thread_atomic_create(void) {
  ZuAtomic* atomic = (ZuAtomic*)sys_malloc(sizeof(ZuAtomic));
  __atomic_store_n(&atomic->value, 0, __ATOMIC_SEQ_CST);
  return atomic;
}

void thread_atomic_destroy(ZuAtomic* atomic) { sys_free(atomic); }

u64 thread_atomic_get(ZuAtomic* atomic) { return __atomic_load_n(&atomic->value, __ATOMIC_SEQ_CST); }

u64 thread_atomic_increment(ZuAtomic* atomic) {
  return __atomic_add_fetch(&atomic->value, 1, __ATOMIC_SEQ_CST);
}

u32 thread_util_hardware_concurrency(void) {
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof(allowed), &allowed) == 0) {
    int count = CPU_COUNT(&allowed);
    if (count > 0) return (u32)count;
  }
  long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? (u32)online : 1;
}

void threadlocal_sleep(u32 milliseconds) {
  timespec wait = {(time_t)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000000};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}
