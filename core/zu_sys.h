// SPDX-License-Identifier: Zlib
// The platform layer: every call to the operating system goes through these
// functions, implemented for Linux in libzu_sys.so. Nothing outside zu_sys/
// includes an operating-system header.
#pragma once

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

typedef uint8_t u8;
typedef uint16_t u16;
typedef uint32_t u32;
typedef uint64_t u64;
typedef int8_t i8;
typedef int16_t i16;
typedef int32_t i32;
typedef int64_t i64;

// The archive runtime library compiles the few platform files it needs into
// itself as a private copy (ZU_SYS_PRIVATE), so that a game links nothing
// of ours but that library.
#if defined(_WIN32)
#define ZU_EXPORT  // only the runtime's private copy is built there
#elif defined(ZU_SYS_PRIVATE)
#define ZU_EXPORT __attribute__((visibility("hidden")))
#else
#define ZU_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ZuFile ZuFile;
typedef struct ZuMappedFile ZuMappedFile;
typedef struct ZuShared ZuShared;
typedef struct ZuThread ZuThread;
typedef struct ZuMutex ZuMutex;
typedef struct ZuCond ZuCond;
typedef struct ZuTls ZuTls;
typedef struct ZuAtomic ZuAtomic;

// Every path a directory listing writes lives in one slot of this size.
#define ZU_PATH_SLOT 512

// ---- memory --------------------------------------------------------------
// sys_malloc never returns null: exhausted memory ends the process.
ZU_EXPORT void* sys_malloc(u64 size);
ZU_EXPORT void sys_free(void* block);  // accepts null
// Backs the main heap (the one the program break grows, which the main
// thread allocates from) with 2 MiB pages where the system allows it, for a
// process about to allocate much in small pieces and chase pointers through
// it (a compile). The heap is then kept at its largest size: for processes
// that end soon after. Done once per process; nothing happens under an
// allocator that does not grow the program break (a sanitizer's).
ZU_EXPORT void sys_prefer_large_heap_pages(void);

// ---- output and fatal errors ---------------------------------------------
// In every format "%#T" prints an ISO-8601 UTC time stamp with milliseconds
// and takes no argument.
//
// sys_exit removes the temporary file of every file open for writing, prints the message to standard error
// (adding a line feed when it has none) and ends the process with the low
// eight bits of code: -1 gives status 255.
ZU_EXPORT __attribute__((noreturn)) void sys_exit(i32 code, const char* format, ...);
// A function sys_exit calls after printing, instead of ending the process
// (a test harness or a fuzzer unwinds with it). It must not return; null
// restores the default.
typedef void (*ZuExitHandler)(i32 code);
ZU_EXPORT void sys_set_exit_handler(ZuExitHandler handler);
ZU_EXPORT i32 sys_printf(const char* format, ...);
// Writes out what sys_printf holds back: standard output is buffered when
// it is no terminal, and a long-running process's lines must come as they
// are printed.
ZU_EXPORT void sys_flush(void);
ZU_EXPORT i32 sys_snprintf(char* buffer, u64 size, const char* format, ...);
// A log line on standard output; log_type names the subsystem.
ZU_EXPORT i32 sys_printf_logtype(const char* log_type, const char* format, ...);

// ---- text (NUL-terminated; searches return a pointer into text or null) ---
ZU_EXPORT u64 sys_strlen(const char* text);
ZU_EXPORT bool sys_strequal(const char* a, const char* b);
ZU_EXPORT bool sys_strend(const char* text, const char* suffix);
ZU_EXPORT bool sys_strbegin(const char* text, const char* prefix);
ZU_EXPORT char* sys_strchr(const char* text, i32 c);
ZU_EXPORT char* sys_strrchr(const char* text, i32 c);
// Searches from start backwards to the beginning of text, start included.
ZU_EXPORT char* sys_strchr_rev(const char* text, const char* start, i32 c);
// The last character of text that is one of set.
ZU_EXPORT char* sys_strrpbrk(const char* text, const char* set);
ZU_EXPORT char* sys_strstr(const char* text, const char* needle);
ZU_EXPORT i32 sys_strncmp(const char* a, const char* b, u64 count);
// Copies at most size - 1 characters and always ends destination with a NUL
// (when size is not 0).
ZU_EXPORT char* sys_strncpy(char* destination, const char* source, u64 size);
// Replaces, in place, every character of set in text by replacement. The
// length of text is taken before anything is replaced, so a replacement of 0
// reaches the whole text.
ZU_EXPORT void sys_strreplace_any(char* text, const char* set, char replacement);

// True when text matches the shell pattern (*, ?, [...]; '*' also matches
// '/', and a leading '.' needs no special match).
ZU_EXPORT bool sys_glob_match(const char* pattern, const char* text);

// ---- numbers -------------------------------------------------------------
// Read an optional sign and the longest run of digits of base; end (may be
// null) receives the first character not read. Values beyond the range
// saturate.
ZU_EXPORT i64 sys_atoi(const char* text, u32 base, const char** end);
ZU_EXPORT u64 sys_atou(const char* text, u32 base, const char** end);
// Write value into buffer (NUL-terminated, cut to size - 1 characters);
// return the number of characters the whole text has.
ZU_EXPORT u32 sys_itoa(i64 value, char* buffer, u64 size, u32 base);
ZU_EXPORT u32 sys_utoa(u64 value, char* buffer, u64 size, u32 base);

// ---- files ---------------------------------------------------------------
// mode 0: read an existing file; mode 1: write a new version of the file,
// creating missing parent folders. Null on failure (a folder is no file).
// Writes are buffered; a seek or the destroy flushes.
// A file written with mode 1 is complete or absent: the bytes go to a
// temporary file beside path, named for this process, and
// filesystem_file_destroy renames it over path only when every write
// succeeded. Until then path holds what it held (a process that maps the
// old file keeps reading the old bytes); a failed write, a discard or
// sys_exit removes the temporary file instead.
// flags ZU_FILE_DURABLE with mode 1: the bytes and the rename reach the
// disk (fsync) before destroy returns, so a crash of the machine leaves the
// old file or the new one.
#define ZU_FILE_DURABLE 2u
ZU_EXPORT ZuFile* filesystem_file_create(const char* path, u32 mode, u32 flags);
// Creates, as mode 1 does, the file name inside folder (made when missing)
// for a name that comes from elsewhere: a name that is absolute or holds an
// empty, "." or ".." part is refused, no symbolic link is followed inside
// folder (on the way or at the end), and without overwrite an existing file
// is left alone (also when one appears before the file is closed). Null on
// failure, with why in *error.
ZU_EXPORT ZuFile* filesystem_file_create_beneath(const char* folder, const char* name,
                                                 bool overwrite, const char** error);
// Closes a file opened with mode 1 without putting it in place: its path
// keeps what it held. Reading files are closed as by destroy.
ZU_EXPORT void filesystem_file_discard(ZuFile* file);
// Closes the file; false when any write to it failed. A file opened with
// mode 1 is put in place only when this returns true.
ZU_EXPORT bool filesystem_file_destroy(ZuFile* file);
ZU_EXPORT u64 filesystem_file_read(ZuFile* file, void* buffer, u64 size);
// Returns the number of bytes taken: less than size after a write error.
ZU_EXPORT u64 filesystem_file_write(ZuFile* file, const void* data, u64 size);
// For a file opened for reading (mode 0): its size when it was opened.
ZU_EXPORT u64 filesystem_file_size(ZuFile* file);
// Copies the first size bytes of source into file at offset, leaving file's
// position alone (in the kernel where it can). Threads may copy into one
// file at once, each into its own range, once its buffered writes are
// flushed (a seek flushes). Returns the bytes copied: fewer when source
// ended early, or when a write failed (then filesystem_file_failed is true).
ZU_EXPORT u64 filesystem_file_copy_at(ZuFile* file, u64 offset, ZuFile* source, u64 size);
// Writes size bytes into file at offset, leaving its position alone, as
// filesystem_file_copy_at does; returns the bytes written.
ZU_EXPORT u64 filesystem_file_write_at(ZuFile* file, u64 offset, const void* data, u64 size);
// True once a write to file failed (a full disk, a size limit).
ZU_EXPORT bool filesystem_file_failed(ZuFile* file);
ZU_EXPORT bool filesystem_file_seek(ZuFile* file, u64 offset);

// ---- paths ---------------------------------------------------------------
#define ZU_ATTR_EXISTS 1u
#define ZU_ATTR_READABLE_FILE 2u
#define ZU_ATTR_SPECIAL 4u
// Bit 0: the path exists. Bit 1 too: it is a file that can be opened, or a
// folder that can be listed. Bit 2: it is neither a regular file nor a
// folder (a device, a pipe, a socket). Links are followed.
ZU_EXPORT u32 filesystem_get_attr(const char* path);
// The absolute path of path with every link, "." and ".." resolved, into
// out (size bytes); false when path does not exist or out is too small.
ZU_EXPORT bool filesystem_resolve_path(const char* path, char* out, u64 size);
// True when both paths exist and name one file (links and other spellings
// of one path included).
ZU_EXPORT bool filesystem_same_file(const char* a, const char* b);
// Nanoseconds since 1970; 0 when the path does not exist.
ZU_EXPORT u64 filesystem_get_last_modified_time(const char* path);
// What a file is now: a file put in place over it (a rename) or written
// again differs from it in at least one field. Links are followed.
typedef struct ZuFileStamp {
  u64 device;
  u64 inode;  // on Windows the file index
  u64 size;
  u64 modified;  // nanoseconds since 1970
} ZuFileStamp;
// False, with *out zeroed, when path is no regular file.
ZU_EXPORT bool filesystem_get_stamp(const char* path, ZuFileStamp* out);
// The same for a folder: it changes when a file in it is created, renamed
// or removed (by the clock's ticks: two changes in one tick may give one).
ZU_EXPORT bool filesystem_get_folder_stamp(const char* path, ZuFileStamp* out);
ZU_EXPORT bool filesystem_stamp_equal(const ZuFileStamp* a, const ZuFileStamp* b);
// The size of a regular file in bytes; 0 when path is none.
ZU_EXPORT u64 filesystem_get_size(const char* path);
// Removes a file (not a folder); false when it could not be removed.
ZU_EXPORT bool filesystem_remove_file(const char* path);
// Sets a file's modification time to now; false when path does not exist.
ZU_EXPORT bool filesystem_touch(const char* path);
// Appends size bytes to the file at path (created when missing) in one
// write, so that small records of processes appending at once stay whole.
ZU_EXPORT bool filesystem_append(const char* path, const void* data, u64 size);
// Creates the destination's missing parent folders. The copy is complete or
// absent, as a file written with mode 1 is; without overwrite an existing
// destination is left alone and the call fails.
ZU_EXPORT bool filesystem_copy_file(const char* destination, const char* source, bool overwrite);
// Makes destination a copy of the folder source: every file copied (missing
// folders created), files of destination that source lacks removed.
// Relative paths are taken from working_dir when it is not null or empty.
ZU_EXPORT bool filesystem_mirror_directory(const char* destination, const char* source,
                                           const char* working_dir);
// Lists the files below directory (descending into subfolders when recursive;
// folders themselves only with include_directories), sorted bytewise by path.
// directory is taken relative to base_directory unless it is absolute; every
// path written begins with directory exactly as given. With slots null it
// returns the number of paths; otherwise it writes at most capacity of them,
// one per 512-byte slot, and returns the number written. A folder that does
// not exist yields nothing. A path that does not fit a slot, or an entry
// that is neither a file nor a folder (a device, a pipe or a socket, also
// behind a link), ends the process naming it.
ZU_EXPORT u64 filesystem_list_directory_files(const char* directory, const char* base_directory,
                                              bool recursive, bool include_directories,
                                              char (*slots)[ZU_PATH_SLOT], u64 capacity);
// The folders below directory (all levels, itself not included), sorted, as
// filesystem_list_directory_files writes them; for a watcher, which must go
// on whatever a tree holds, paths too long for a slot are left out instead
// of ending the process. Returns the number of folders, of which at most
// capacity are written (slots may be null).
ZU_EXPORT u64 filesystem_list_folders(const char* directory, char (*slots)[ZU_PATH_SLOT],
                                      u64 capacity);
// The resolved path of the running executable, and its folder ending in '/'.
ZU_EXPORT const char* filesystem_get_exe_path(void);
ZU_EXPORT const char* filesystem_get_exe_dir(void);
ZU_EXPORT bool filesystem_set_current_directory(const char* path);

// ---- mapped files --------------------------------------------------------
ZU_EXPORT ZuMappedFile* filesystem_mapped_file_create(const char* path);
// The whole file, read-only, valid until the mapping is destroyed. An empty
// file gives a valid pointer and size 0.
ZU_EXPORT const void* filesystem_mapped_file_get_memory(ZuMappedFile* mapping, u64* size);
ZU_EXPORT void filesystem_mapped_file_destroy(ZuMappedFile* mapping);
// The stamp of the file that was mapped, taken as it was opened.
ZU_EXPORT const ZuFileStamp* filesystem_mapped_file_get_stamp(const ZuMappedFile* mapping);
// Asks the system to back bytes [offset, offset + size) of the mapping with
// large pages where it can (on Linux, transparent huge pages: the bytes are
// read in and mapped 2 MiB at a time), for fewer page faults and TLB misses
// in random reads there. Reads nothing now; where the system cannot, nothing
// happens.
ZU_EXPORT void filesystem_mapped_file_prefer_large_pages(ZuMappedFile* mapping, u64 offset,
                                                         u64 size);

// ---- shared libraries ----------------------------------------------------
// Loads "<folder of the executable>/<name>.x86_64" and, when it exports
// shared_init, calls it with context. Null on failure. Every symbol is bound
// at loading, so that a module that does not fit fails there with a reason;
// with ZU_SHARED_LAZY in flags, a function is bound at its first call: for
// cooking libraries, whose codecs bring thousands of imports a step never
// calls.
#define ZU_SHARED_LAZY 2u
ZU_EXPORT ZuShared* shared_shared_create(const char* name, u32 flags, const void* context);
ZU_EXPORT const char* shared_shared_get_name(ZuShared* shared);
ZU_EXPORT void* shared_shared_load_function(ZuShared* shared, const char* symbol);
ZU_EXPORT void shared_shared_destroy(ZuShared* shared);
// Why the last shared_shared_create on this thread failed.
ZU_EXPORT const char* shared_shared_last_error(void);

// ---- threads -------------------------------------------------------------
typedef u32 (*ZuThreadFunction)(void* argument);
// name: shown by debuggers (cut to 15 characters); processor: the processor
// the thread is pinned to (no pinning when it is not below the processor
// count).
ZU_EXPORT ZuThread* thread_thread_create(ZuThreadFunction function, void* argument,
                                         const char* name, u64 processor);
ZU_EXPORT u32 thread_thread_join(ZuThread* thread);
ZU_EXPORT void thread_thread_destroy(ZuThread* thread);

// Re-entrant: a thread may lock a mutex it holds.
ZU_EXPORT ZuMutex* thread_mutex_create(void);
ZU_EXPORT void thread_mutex_destroy(ZuMutex* mutex);
ZU_EXPORT void thread_mutex_lock(ZuMutex* mutex);
ZU_EXPORT void thread_mutex_unlock(ZuMutex* mutex);

// The waits release the mutex, which the caller holds exactly once.
ZU_EXPORT ZuCond* thread_cond_create(void);
ZU_EXPORT void thread_cond_destroy(ZuCond* cond);
ZU_EXPORT void thread_cond_wait(ZuCond* cond, ZuMutex* mutex);
// False when the time ran out.
ZU_EXPORT bool thread_cond_wait_time(ZuCond* cond, ZuMutex* mutex, u32 milliseconds);
ZU_EXPORT void thread_cond_wake_all(ZuCond* cond);

ZU_EXPORT ZuTls* thread_tls_create(void);
ZU_EXPORT void thread_tls_destroy(ZuTls* tls);
ZU_EXPORT void* thread_tls_get(ZuTls* tls);
ZU_EXPORT void thread_tls_set(ZuTls* tls, void* value);

ZU_EXPORT ZuAtomic* thread_atomic_create(void);
ZU_EXPORT void thread_atomic_destroy(ZuAtomic* atomic);
ZU_EXPORT u64 thread_atomic_get(ZuAtomic* atomic);
// Returns the new value.
ZU_EXPORT u64 thread_atomic_increment(ZuAtomic* atomic);

// Processors this process may run on.
ZU_EXPORT u32 thread_util_hardware_concurrency(void);
ZU_EXPORT void threadlocal_sleep(u32 milliseconds);
// Nanoseconds on a clock that only moves forward (not the time of day);
// read without a system call where the system allows.
ZU_EXPORT u64 sys_clock_ns(void);
// The time of day: nanoseconds since 1970, as file times count.
ZU_EXPORT u64 sys_time_ns(void);

// ---- watching folders ------------------------------------------------------
// Change notification for a set of folders (each without its subfolders):
// inotify on Linux; ReadDirectoryChangesW is the counterpart for Windows.
typedef struct ZuWatch ZuWatch;
#define ZU_WATCH_FOLDER 1u    // the path is a folder (created, moved in or removed)
#define ZU_WATCH_OVERFLOW 2u  // changes were lost: look at everything again
#define ZU_WATCH_GONE 4u      // a watched folder itself was removed or moved away
typedef struct ZuWatchEvent {
  u32 flags;  // ZU_WATCH_*
  char path[ZU_PATH_SLOT];  // the folder as added, '/', the name in it
} ZuWatchEvent;
ZU_EXPORT ZuWatch* filesystem_watch_create(void);
ZU_EXPORT void filesystem_watch_destroy(ZuWatch* watch);
// Watches the files and folders directly in folder: written, created,
// removed, renamed in or out, their times changed. False when folder is no
// folder or the system allows no more watches.
ZU_EXPORT bool filesystem_watch_add(ZuWatch* watch, const char* folder);
// Waits up to timeout_ms (all bits set: without end) for changes and
// writes up to capacity of them; returns the number written, 0 when the
// time ran out, and -1 at once when the process was interrupted
// (sys_catch_interrupts).
ZU_EXPORT i64 filesystem_watch_wait(ZuWatch* watch, ZuWatchEvent* events, u64 capacity,
                                    u32 timeout_ms);

// ---- interrupts and other processes ---------------------------------------
// From now on Ctrl-C (SIGINT) and SIGTERM do not end the process: they make
// the waits below return and sys_interrupted true.
ZU_EXPORT void sys_catch_interrupts(void);
ZU_EXPORT bool sys_interrupted(void);

typedef struct ZuProcess ZuProcess;
// Starts argv[0] (looked for on PATH when it holds no '/') with argv, null
// ended, in folder; its standard output and error go to one pipe that
// process_process_read reads. Null when it cannot be started.
ZU_EXPORT ZuProcess* process_process_create(const char* const* argv, const char* folder);
// What the process wrote: up to size bytes. Returns their number, 0 when it
// closed its output, -1 when the time ran out and -2 when this process was
// interrupted.
ZU_EXPORT i64 process_process_read(ZuProcess* process, char* buffer, u64 size, u32 timeout_ms);
// Sends the process Ctrl-C's signal.
ZU_EXPORT void process_process_interrupt(ZuProcess* process);
// Waits for it to end: its exit status, or 128 + the signal that ended it.
ZU_EXPORT i32 process_process_wait(ZuProcess* process);
// Waits for it to end when it has not, and frees the record.
ZU_EXPORT void process_process_destroy(ZuProcess* process);

// ---- process ---------------------------------------------------------------
// The process's arguments, the program first.
ZU_EXPORT void sys_get_argc_argv(i32* argc, char*** argv);
// Replaces what sys_get_argc_argv gives (for hosts that build their own).
ZU_EXPORT void sys_set_argc_argv(i32 argc, char** argv);

// ---- hashing ---------------------------------------------------------------
// 64-bit, equal in every process and run; archives depend on these values.
// zu_hash_s with seed 0 equals zu_hash.
ZU_EXPORT u64 zu_hash(const void* data, u64 size);
ZU_EXPORT u64 zu_hash_s(const void* data, u64 size, u64 seed);

#ifdef __cplusplus
}
#endif
