// SPDX-License-Identifier: Zlib
// Writing to the standard streams and the time stamp of messages, on Linux.
#include <errno.h>
#include <stdio.h>
#include <time.h>
#include <unistd.h>

#include "internal.h"

void write_all(int descriptor, const char* text, u64 size) {
  while (size > 0) {
    ssize_t written = write(descriptor, text, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    text += written;
    size -= (u64)written;
  }
}

u32 format_time_stamp(char* out) {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  tm parts;
  gmtime_r(&now.tv_sec, &parts);
  return (u32)snprintf(out, 32, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
                       parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                       (int)(now.tv_nsec / 1000000));
}
