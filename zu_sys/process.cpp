// SPDX-License-Identifier: Zlib
// Starting another program (Ninja, for the watcher) with its output in a
// pipe, reading it as it comes and waiting for the program to end.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "internal.h"

extern char** environ;

struct ZuProcess {
  pid_t pid;
  int output;  // the read end of the pipe; -1 once at its end
  bool ended;
  i32 status;
};

ZuProcess* process_process_create(const char* const* argv, const char* folder) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return nullptr;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
  posix_spawn_file_actions_adddup2(&actions, ends[1], 2);
  if (folder && folder[0]) posix_spawn_file_actions_addchdir_np(&actions, folder);
  pid_t pid;
  int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, (char* const*)argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  if (failed != 0) {
    close(ends[0]);
    return nullptr;
  }
  ZuProcess* process = (ZuProcess*)sys_malloc(sizeof(ZuProcess));
  *process = {pid, ends[0], false, 0};
  return process;
}

i64 process_process_read(ZuProcess* process, char* buffer, u64 size, u32 timeout_ms) {
  if (process->output < 0) return 0;
  for (;;) {
    if (sys_interrupted()) return -2;
    struct pollfd waits[2] = {{process->output, POLLIN, 0}, {interrupt_descriptor(), POLLIN, 0}};
    int ready = poll(waits, waits[1].fd >= 0 ? 2 : 1, timeout_ms == ~0u ? -1 : (int)timeout_ms);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) return -1;
    if (sys_interrupted()) return -2;
    ssize_t got = read(process->output, buffer, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      close(process->output);
      process->output = -1;
      return 0;
    }
    return got;
  }
}

void process_process_interrupt(ZuProcess* process) {
  if (!process->ended) kill(process->pid, SIGINT);
}

i32 process_process_wait(ZuProcess* process) {
  if (process->ended) return process->status;
  int status = 0;
  while (waitpid(process->pid, &status, 0) < 0 && errno == EINTR) {
  }
  process->ended = true;
  process->status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return process->status;
}

void process_process_destroy(ZuProcess* process) {
  if (!process) return;
  if (process->output >= 0) close(process->output);
  process_process_wait(process);
  sys_free(process);
}
