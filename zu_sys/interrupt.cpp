// SPDX-License-Identifier: Zlib
// Ctrl-C for a process that waits on other things (a watcher): the signal
// only sets a flag and wakes the waits, through a pipe they poll too.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "internal.h"

namespace {

volatile sig_atomic_t g_interrupted;
int g_wake[2] = {-1, -1};

void on_interrupt(int) {
  int saved = errno;
  g_interrupted = 1;
  char byte = 1;
  if (write(g_wake[1], &byte, 1) < 0) {
  }  // a full pipe has woken the waits already
  errno = saved;
}

}  // namespace

void sys_catch_interrupts(void) {
  if (g_wake[0] >= 0) return;
  if (pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action = {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool sys_interrupted(void) { return g_interrupted != 0; }

int interrupt_descriptor(void) { return g_wake[0]; }
