// SPDX-License-Identifier: Zlib
// Writing to the standard streams and the time stamp of messages, on
// Windows (the archive runtime's fatal messages).
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include "../internal.h"

void write_all(int descriptor, const char* text, u64 size) {
  while (size > 0) {
    unsigned piece = size > 0x40000000 ? 0x40000000u : (unsigned)size;
    int written = _write(descriptor, text, piece);
    if (written <= 0) return;
    text += written;
    size -= (u64)written;
  }
}

u32 format_time_stamp(char* out) {
  SYSTEMTIME now;
  GetSystemTime(&now);
  return (u32)snprintf(out, 32, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", now.wYear, now.wMonth,
                       now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}
