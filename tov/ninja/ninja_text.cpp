// SPDX-License-Identifier: Zlib
#include "ninja_text.h"

#include <stdarg.h>
#include <stdio.h>

namespace {
// The file being written: a failed write ends the process, since a build
// file with a hole would build the wrong thing.
void check(u64 written, u64 size) {
  if (written != size) sys_exit(-1, "ERROR: Couldn't write build.ninja (is the disk full?)");
}

void escape_char(ZuString* text, char c) {
  char pair[2] = {'$', c};
  for (u32 i = 0; i + 1 < zu_string_length(text); ++i) {
    char* data = zu_string_data(text);
    if (data[i] != c) continue;
    zu_string_insert(text, data + i, pair, pair + 1);
    ++i;  // resume after the inserted pair
  }
}
}  // namespace

void ninja_write_range(ZuFile* file, const char* text, u64 size) {
  check(filesystem_file_write(file, text, size), size);
}

void ninja_write(ZuFile* file, const char* text) { ninja_write_range(file, text, strlen(text)); }

void ninja_writef(ZuFile* file, const char* format, ...) {
  char buffer[2048];
  va_list args;
  va_start(args, format);
  int length = vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  if (length < 0) length = 0;
  if ((u64)length >= sizeof(buffer)) length = sizeof(buffer) - 1;
  ninja_write_range(file, buffer, (u64)length);
}

void ninja_escape(ZuString* text, bool blanks) {
  escape_char(text, ':');
  if (blanks) escape_char(text, ' ');
}

void ninja_write_path(ZuFile* file, const char* path, u64 length) {
  for (u64 i = 0; i < length; ++i) {
    char c = path[i];
    if (c == '\n' || c == '\r')
      sys_exit(-1, "ERROR: '%s' holds a line break, which build.ninja cannot carry, aborting...",
               path);
    if (c == '$' || c == ':' || c == ' ') ninja_write_range(file, "$", 1);
    ninja_write_range(file, &c, 1);
  }
}
