// SPDX-License-Identifier: Zlib
// Writing build.ninja: text pieces, formatted lines and Ninja escaping.
#pragma once

#include "zu_string.h"
#include "zu_sys.h"

void ninja_write(ZuFile* file, const char* text);
void ninja_write_range(ZuFile* file, const char* text, u64 size);
// Formats into a 2048-byte buffer (longer lines are cut) and writes it.
void ninja_writef(ZuFile* file, const char* format, ...) __attribute__((format(printf, 2, 3)));

// A path in a build line: '$', ':' and blanks escaped (names made only of
// a-z 0-9 . / _ come out as they are); a line break ends the process.
void ninja_write_path(ZuFile* file, const char* path, u64 length);

// In place on a copy: every ':' becomes "$:", and with blanks every ' '
// becomes "$ ".
void ninja_escape(ZuString* text, bool blanks);
