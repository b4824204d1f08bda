// SPDX-License-Identifier: Zlib
#include "internal.h"

namespace {

// Digit value of c, or 99 when it is no digit.
u32 digit_value(char c) {
  if (c >= '0' && c <= '9') return (u32)(c - '0');
  if (c >= 'a' && c <= 'z') return (u32)(c - 'a') + 10;
  if (c >= 'A' && c <= 'Z') return (u32)(c - 'A') + 10;
  return 99;
}

// Reads digits of base from text; sets overflow when the value passed limit.
u64 read_digits(const char* text, u32 base, u64 limit, bool* overflow, const char** end) {
  u64 value = 0;
  *overflow = false;
  for (;; ++text) {
    u32 digit = digit_value(*text);
    if (digit >= base) break;
    if (value > (limit - digit) / base) {
      *overflow = true;
      value = limit;
    } else if (!*overflow) {
      value = value * base + digit;
    }
  }
  if (end) *end = text;
  return value;
}

u32 write_digits(u64 value, bool negative, char* buffer, u64 size, u32 base) {
  if (base < 2 || base > 36) base = 10;
  char reversed[72];
  u32 count = 0;
  do {
    u32 digit = (u32)(value % base);
    reversed[count++] = (char)(digit < 10 ? '0' + digit : 'a' + digit - 10);
    value /= base;
  } while (value);
  if (negative) reversed[count++] = '-';
  if (size > 0) {
    u64 written = 0;
    for (u32 i = count; i > 0 && written + 1 < size; --i) buffer[written++] = reversed[i - 1];
    buffer[written] = 0;
  }
  return count;
}

}  // namespace

i64 sys_atoi(const char* text, u32 base, const char** end) {
  if (base < 2 || base > 36) base = 10;
  const char* at = text;
  bool negative = false;
  if (*at == '-' || *at == '+') negative = *at++ == '-';
  bool overflow;
  const char* digits_end;
  u64 limit = negative ? (u64)INT64_MAX + 1 : (u64)INT64_MAX;
  u64 magnitude = read_digits(at, base, limit, &overflow, &digits_end);
  if (end) *end = digits_end == at ? text : digits_end;
  if (negative) return magnitude == (u64)INT64_MAX + 1 ? INT64_MIN : -(i64)magnitude;
  return (i64)magnitude;
}

u64 sys_atou(const char* text, u32 base, const char** end) {
  if (base < 2 || base > 36) base = 10;
  const char* at = text;
  if (*at == '+') ++at;
  bool overflow;
  const char* digits_end;
  u64 value = read_digits(at, base, UINT64_MAX, &overflow, &digits_end);
  if (end) *end = digits_end == at ? text : digits_end;
  return value;
}

u32 sys_itoa(i64 value, char* buffer, u64 size, u32 base) {
  u64 magnitude = value < 0 ? (u64)0 - (u64)value : (u64)value;
  return write_digits(magnitude, value < 0, buffer, size, base);
}

u32 sys_utoa(u64 value, char* buffer, u64 size, u32 base) {
  return write_digits(value, false, buffer, size, base);
}
