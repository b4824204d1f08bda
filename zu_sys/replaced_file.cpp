// SPDX-License-Identifier: Zlib
// Freeing a large file's blocks takes the file system a while (60 ms for a
// 76 MB archive on ext4 with online discard), and a rename over a file that
// nothing else holds frees them before it returns. A durable replace hands
// the old file to a process of its own, which holds it across the rename
// and lets it go once this process is done with it: the freeing then runs
// beside whatever comes next instead of at the end of this step.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "internal.h"

namespace {

constexpr u64 kWorthKeeping = 8u << 20;  // smaller files are freed quickly

// Closes every descriptor but keep[0] and keep[1] (keep[0] < keep[1]).
bool close_all_but(const int keep[2]) {
  auto close_range = [](unsigned first, unsigned last) {
    return first > last || syscall(SYS_close_range, first, last, 0) == 0;
  };
  return close_range(0, (unsigned)keep[0] - 1) &&
         close_range((unsigned)keep[0] + 1, (unsigned)keep[1] - 1) &&
         close_range((unsigned)keep[1] + 1, ~0u);
}

}  // namespace

int path_keep_replaced(int folder, const char* path) {
  int old = openat(folder, path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (old < 0) return -1;
  struct stat info;
  int ends[2];
  if (fstat(old, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 ||
      (u64)info.st_size < kWorthKeeping || pipe2(ends, O_CLOEXEC) != 0) {
    close(old);
    return -1;
  }
  // Forked twice, so that the holder is nobody's child to wait for: it
  // ends on its own, after this process has let go of the pipe.
  pid_t child = fork();
  if (child == 0) {
    if (fork() != 0) _exit(0);
    int keep[2] = {old < ends[0] ? old : ends[0], old < ends[0] ? ends[0] : old};
    // Nothing else stays open, such as the pipes of whoever waits for this
    // process to end.
    if (close_all_but(keep)) {
      char byte;
      while (read(ends[0], &byte, 1) < 0 && errno == EINTR) {
      }
    }
    _exit(0);  // and with it the last hold on the old file
  }
  close(old);
  close(ends[0]);
  if (child < 0) {
    close(ends[1]);
    return -1;
  }
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  return ends[1];
}

void path_let_go(int keeper) {
  if (keeper >= 0) close(keeper);
}
