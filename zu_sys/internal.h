// Shared between the files of the platform layer; not part of its interface.
#pragma once

#include "zu_sys.h"

// Every file open for writing is on one list so that sys_exit can remove
// their temporary files: a step that stops half-way leaves its outputs as
// they were before it started.
void file_abandon_all(void);

// A name for a temporary file beside path, unique to this process and call
// ("<folder>/.<name>.<pid>.<count>.tmp"); sys_free it.
char* path_temporary_beside(const char* path);

// Renames temporary over path (without replace: fails when path exists);
// with durable, the file's bytes and the folder's entry are synced first.
bool path_put_in_place(int descriptor, const char* temporary, const char* path, bool replace,
                       bool durable);

// Creates the missing folders of the parent of path. False when one of them
// cannot be made.
bool path_create_parents(const char* path);

// Formats into buffer, expanding "%#T"; returns the length of the whole text.
i32 format_text(char* buffer, u64 size, const char* format, __builtin_va_list args);

// Writes all of text to a file descriptor.
void write_all(int descriptor, const char* text, u64 size);
