// SPDX-License-Identifier: Zlib
// Shared between the files of the platform layer; not part of its interface.
#pragma once

#include "zu_sys.h"

// Every file open for writing is on one list so that sys_exit can remove
// their temporary files: a step that stops half-way leaves its outputs as
// they were before it started. The file code hands sys_exit this cleanup
// when it loads, so that printing and exiting work without it (the archive
// runtime carries them, and no file writing).
void file_abandon_all(void);
extern void (*g_exit_cleanup)(void);

// A file open for writing to temporary, which is put in place at path when
// it is closed whole; both are taken from the folder descriptor (AT_FDCWD
// for the working folder), which the file then owns. Takes temporary over.
ZuFile* file_output_create(int descriptor, int folder, const char* path, char* temporary, u32 flags,
                           bool replace);

// A name for a temporary file beside path, unique to this process and call
// ("<folder>/.<name>.<pid>.<count>.tmp"); sys_free it.
char* path_temporary_beside(const char* path);

// Renames temporary over path, both taken from folder (a descriptor, or
// AT_FDCWD); without replace it fails when path exists. With durable the
// file's bytes are synced before and the folder's entry after.
bool path_put_in_place(int descriptor, int folder, const char* temporary, const char* path,
                       bool replace, bool durable);

// Before a durable replace of path (in folder): -1, or, for a large
// regular file, a handle on a process that holds the old file until
// path_let_go, so that the rename does not wait for its blocks to be freed.
int path_keep_replaced(int folder, const char* path);
void path_let_go(int keeper);

// Creates the missing folders of the parent of path. False when one of them
// cannot be made.
bool path_create_parents(const char* path);

// Formats into buffer, expanding "%#T"; returns the length of the whole text.
i32 format_text(char* buffer, u64 size, const char* format, __builtin_va_list args);

// Writes all of text to a file descriptor.
void write_all(int descriptor, const char* text, u64 size);

// "2026-12-06T03:14:45.123Z" (24 characters) into out, the time now in UTC;
// returns the length.
u32 format_time_stamp(char* out);

// The read end of the pipe an interrupt writes to, for waits to poll; -1
// until sys_catch_interrupts.
int interrupt_descriptor(void);

// The stamp of a file from what stat or fstat gave.
struct stat;
void stamp_from_stat(const struct stat* info, ZuFileStamp* out);

// A read-only file mapping; the system's part is in mapped_file.cpp (and
// windows/mapped_file.cpp), the rest in mapping.cpp.
struct ZuMappedFile {
  void* memory;
  u64 size;
  ZuFileStamp stamp;
};

// The mapping of an empty file: a valid pointer to nothing (no system maps
// zero bytes).
extern const u64 g_empty_mapping;

// A new mapping record for memory (size bytes; g_empty_mapping when 0) of
// the file with stamp.
ZuMappedFile* mapping_make(void* memory, u64 size, const ZuFileStamp* stamp);

// Clamps [*offset, *offset + *size) to the mapping; false when nothing of it
// is left.
bool mapping_clamp(const ZuMappedFile* mapping, u64* offset, u64* size);
