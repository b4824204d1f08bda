// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <sched.h>

#include <vector>

#include "command_option.h"
#include "reactor.h"
#include "test_support.h"

TEST(Reactor, ThreadCountRule) {
  TestHost host;
  parse_arguments({});
  const u32 threads_for[][2] = {{1, 1}, {2, 1}, {3, 1}, {4, 2}, {8, 6}};  // processors, threads
  for (const auto& c : threads_for) EXPECT_EQ(reactor_thread_count_for(c[0]), c[1]) << c[0];
  parse_arguments({"--threads", "3"});
  EXPECT_EQ(reactor_thread_count_for(64), 3u);
  EXPECT_EQ(reactor_thread_count(), 3u);
  parse_arguments({"-t", "12"});
  EXPECT_EQ(reactor_thread_count(), 12u);
}

namespace {

struct Worker {
  HostContext* host;
  ZuAtomic* passed;  // workers past the handshake
  int cpu;
};

u32 worker_main(void* argument) {
  Worker* worker = (Worker*)argument;
  reactor_thread_started(worker->host);
  worker->cpu = sched_getcpu();
  thread_atomic_increment(worker->passed);
  return 0;
}

ZuAtomic* g_passed_at_entry;
u64 g_passed_seen;
u64 g_started_seen;

u32 entry(u32 argument, void* data) {
  HostContext* host = (HostContext*)data;
  g_started_seen = thread_atomic_get(host->started);
  g_passed_seen = thread_atomic_get(g_passed_at_entry);
  return argument + 1;
}

}  // namespace

TEST(Reactor, WorkersWaitForTheRunAndTheRunWaitsForEveryWorker) {
  HostContext host;
  reactor_create(&host);
  ZuAtomic* passed = thread_atomic_create();
  u32 processors = thread_util_hardware_concurrency();
  std::vector<Worker> workers(4, Worker{&host, passed, -1});
  std::vector<u64> indices;
  for (Worker& worker : workers) {
    indices.push_back(host.next_processor);
    reactor_add_thread(&host, worker_main, &worker, "worker");
  }
  for (u32 i = 0; i < 4; ++i) EXPECT_EQ(indices[i], i % processors);
  threadlocal_sleep(50);
  EXPECT_EQ(thread_atomic_get(passed), 0u);  // nobody passes before the run
  g_passed_at_entry = passed;
  host.entry = entry;
  EXPECT_EQ(reactor_run(&host, 41, &host), 42u);
  EXPECT_EQ(g_started_seen, 4u);  // the run began only after all four started
  EXPECT_EQ(host.parse_command_line, 0);
  reactor_destroy(&host);  // joins the workers
  EXPECT_EQ(thread_atomic_get(passed), 4u);
  // Each worker ran pinned to the processor of its index.
  cpu_set_t allowed;
  ASSERT_EQ(sched_getaffinity(0, sizeof(allowed), &allowed), 0);
  std::vector<int> cpus;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
    if (CPU_ISSET(cpu, &allowed)) cpus.push_back(cpu);
  for (u32 i = 0; i < 4; ++i) EXPECT_EQ(workers[i].cpu, cpus[i % processors]);
  thread_atomic_destroy(passed);
}
