// Shared between the files of the platform layer; not part of its interface.
#pragma once

#include "zu_sys.h"

// Every open file is on one list so that sys_exit can flush them: a build
// that stops half-way leaves on disk what it wrote.
void file_flush_all(void);

// Creates the missing folders of the parent of path. False when one of them
// cannot be made.
bool path_create_parents(const char* path);

// Formats into buffer, expanding "%#T"; returns the length of the whole text.
i32 format_text(char* buffer, u64 size, const char* format, __builtin_va_list args);

// Writes all of text to a file descriptor.
void write_all(int descriptor, const char* text, u64 size);
