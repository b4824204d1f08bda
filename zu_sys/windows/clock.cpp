// SPDX-License-Identifier: Zlib
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "../internal.h"

u64 sys_clock_ns(void) {
  static LARGE_INTEGER frequency;
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  u64 ticks = (u64)now.QuadPart, rate = (u64)frequency.QuadPart;
  return ticks / rate * 1000000000ull + ticks % rate * 1000000000ull / rate;
}

u64 sys_time_ns(void) {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  // 100-nanosecond ticks since 1601.
  u64 ticks = (u64)now.dwHighDateTime << 32 | now.dwLowDateTime;
  return (ticks - 116444736000000000ull) * 100;
}
