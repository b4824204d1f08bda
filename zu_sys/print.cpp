// SPDX-License-Identifier: Zlib
// Formatted output and fatal errors; the writing itself and the clock are
// the system's (console.cpp, windows/console.cpp).
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "internal.h"

namespace {

// Formats of any length are expanded into this many bytes on the stack and
// into a heap block beyond.
constexpr u64 kStackText = 2048;

struct Text {
  char stack[kStackText];
  char* data;
  u64 size;
};

// Formats into text, growing to the heap when the stack buffer is short.
void text_format(Text* text, const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  text->data = text->stack;
  i32 length = format_text(text->stack, kStackText, format, args);
  if (length < 0) length = 0;
  if ((u64)length >= kStackText) {
    text->data = (char*)sys_malloc((u64)length + 1);
    format_text(text->data, (u64)length + 1, format, again);
  }
  va_end(again);
  text->size = (u64)length;
}

void text_release(Text* text) {
  if (text->data != text->stack) sys_free(text->data);
}

i32 print_to_stdout(const char* format, va_list args) {
  Text text;
  text_format(&text, format, args);
  fwrite(text.data, 1, text.size, stdout);
  text_release(&text);
  return (i32)text.size;
}

}  // namespace

i32 format_text(char* buffer, u64 size, const char* format, va_list args) {
  // "%#T" takes no argument, so it is replaced in the format itself before
  // the C library sees it. "%%" is copied whole so that "%%#T" stays text.
  const char* stamp_at = strstr(format, "%#T");
  if (!stamp_at) return vsnprintf(buffer, size, format, args);
  u64 format_length = strlen(format);
  char local[kStackText];
  u64 capacity = format_length * 9 + 1;  // each "%#T" grows by at most 21
  char* expanded = capacity <= sizeof(local) ? local : (char*)sys_malloc(capacity);
  char stamp[32];
  u32 stamp_length = 0;
  u64 out = 0;
  for (const char* at = format; *at;) {
    if (at[0] == '%' && at[1] == '%') {
      expanded[out++] = '%';
      expanded[out++] = '%';
      at += 2;
    } else if (at[0] == '%' && at[1] == '#' && at[2] == 'T') {
      if (!stamp_length) stamp_length = format_time_stamp(stamp);
      memcpy(expanded + out, stamp, stamp_length);
      out += stamp_length;
      at += 3;
    } else {
      expanded[out++] = *at++;
    }
  }
  expanded[out] = 0;
  i32 length = vsnprintf(buffer, size, expanded, args);
  if (expanded != local) sys_free(expanded);
  return length;
}

namespace {
ZuExitHandler g_exit_handler;
}  // namespace

void (*g_exit_cleanup)(void);

void sys_set_exit_handler(ZuExitHandler handler) { g_exit_handler = handler; }

void sys_exit(i32 code, const char* format, ...) {
  if (g_exit_cleanup) g_exit_cleanup();
  fflush(stdout);
  va_list args;
  va_start(args, format);
  Text text;
  text_format(&text, format, args);
  va_end(args);
  write_all(2, text.data, text.size);
  if (text.size == 0 || text.data[text.size - 1] != '\n') write_all(2, "\n", 1);
  text_release(&text);
  if (g_exit_handler) g_exit_handler(code);
  _Exit(code & 0xff);
}

i32 sys_printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  i32 size = print_to_stdout(format, args);
  va_end(args);
  return size;
}

void sys_flush(void) { fflush(stdout); }

i32 sys_printf_logtype(const char* log_type, const char* format, ...) {
  (void)log_type;  // every log type goes to standard output for now
  va_list args;
  va_start(args, format);
  i32 size = print_to_stdout(format, args);
  va_end(args);
  return size;
}

i32 sys_snprintf(char* buffer, u64 size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  i32 length = format_text(buffer, size, format, args);
  va_end(args);
  return length;
}
