/* tov archives at run time: load .tov archives into an ordered set and read
 * their files in place.
 *
 *     const char* paths[] = {"patch.tov", "game.tov"};   // patch wins
 *     TovArchiveSetDesc desc = {paths, 2};
 *     TovArchiveSet* set = tov_archive_create(&desc);
 *     if (!set) { ...a file is missing or unreadable... }
 *
 *     TovFileInfo info;
 *     if (tov_archive_access_file(set, "levels/town.bin", &info))
 *       load_level(info.data, info.size);          // no copy: the mapping
 *
 *     TovFileInfo textures[256];                    // all of one type
 *     u64 n = tov_archive_index_directory(set, "textures/", 8, textures, 256);
 *     // 8 is TOV_TYPE_IMAGE; tov_build.h lists the type codes.
 *
 *     tov_archive_destroy(set);                     // every pointer dies here
 *
 * Archives are mapped read-only and used as they are: opening one reads two
 * offsets from its header, whatever its size. The system is asked to back an
 * archive's entries and tables with large pages where it can (on Linux,
 * transparent huge pages, when enabled as "always" or "madvise"), so that
 * lookups after a cold start read them in 2 MiB at a time and miss the TLB
 * less; file data is left to the normal read-ahead. Lookups go through the
 * set's archives in order and the first archive holding a name wins. Every
 * pointer handed out (names, data, string tables) stays valid while its
 * archive stays in the set. Nothing here allocates for results: callers pass
 * arrays and their capacity, and functions return how many records there
 * were, so a call with a null array counts. Lookups on one set may run on
 * many threads at once while no thread adds, removes or reorders archives.
 *
 * Names are paths relative to the build's output folder, made of a-z, 0-9,
 * '.', '/' and '_'; directory names end with '/' and the root is "".
 *
 * Lookups by name trust the 64-bit name hash and do not compare the stored
 * name text. Two packed names with one hash are refused when the archive is
 * packed, so a packed name is always found as itself; a name that is not in
 * the archive is taken for a packed one only if its hash equals one of
 * theirs, about once in 10^14 lookups with 100,000 files. Comparing the text
 * would cost one more random memory access per lookup: 22 -> 40 ns at 10,000
 * files and 148 -> 200 ns at 100,000 (bench/archive.sh).
 */
#ifndef TOV_ARCHIVE_H
#define TOV_ARCHIVE_H

#include "zu_sys.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TovArchiveSet TovArchiveSet;

typedef struct TovArchiveSetDesc {
  const char* const* paths;
  u64 count;
} TovArchiveSetDesc;

/* One packed file: pointers into the mapping. */
typedef struct TovFileInfo {
  const char* name;    /* its name in the archive */
  const char* archive; /* the path of the archive holding it, as loaded */
  u64 hash;            /* zu_hash_s(name, length, 0) */
  u16 type;            /* type code (TOV_TYPE_*) */
  u8 flag;
  u8 reserved[5];
  u64 checksum; /* zu_hash of the file's bytes */
  u64 size;     /* bytes of data */
  const void* data;
} TovFileInfo;

/* Packed files follow each other without padding, so a u64 inside one may
 * sit at any address: this type reads it safely wherever it is. */
typedef u64 TovUnalignedU64 __attribute__((aligned(1)));

/* A string table (type 6): string i is text + offsets[i], NUL-terminated. */
typedef struct TovStringTable {
  u64 count;
  const TovUnalignedU64* offsets; /* null when count is 0 */
  const char* text;   /* null when count is 0 */
} TovStringTable;

#define TOV_ARCHIVE_END ((u64)-1) /* tov_archive_add_archives: after all */

/* ---- the set --------------------------------------------------------- */

/* A set holding the archives of desc, in its order; null when one of them
 * cannot be mapped. A count of 0 gives an empty set. */
ZU_EXPORT TovArchiveSet* tov_archive_create(const TovArchiveSetDesc* desc);
/* Unmaps every archive; set may be null. */
ZU_EXPORT void tov_archive_destroy(TovArchiveSet* set);
/* Inserts the archives at position (0: in front of all, TOV_ARCHIVE_END:
 * after all), keeping their order. All or nothing: false, and the set
 * unchanged, when one cannot be mapped. */
ZU_EXPORT bool tov_archive_add_archives(TovArchiveSet* set, const char* const* paths, u64 count,
                                        u64 position);
/* Removes every archive loaded under one of the paths (compared byte for
 * byte). Returns false in every case. */
ZU_EXPORT bool tov_archive_remove_archives(TovArchiveSet* set, const char* const* paths,
                                           u64 count);
ZU_EXPORT bool tov_archive_is_loaded(const TovArchiveSet* set, const char* path);
/* Remembers the archives' order by path ... */
ZU_EXPORT void tov_archive_persist_order(TovArchiveSet* set);
/* ... and brings it back after archives were removed and added again. */
ZU_EXPORT void tov_archive_restore_order(TovArchiveSet* set);

/* ---- files by name or hash ------------------------------------------- */

/* False when no archive holds name. */
ZU_EXPORT bool tov_archive_access_file(const TovArchiveSet* set, const char* name,
                                       TovFileInfo* out);
ZU_EXPORT bool tov_archive_access_file_by_hash(const TovArchiveSet* set, u64 hash,
                                               TovFileInfo* out);
/* Names not found take no place in out and are not counted; the result
 * counts every name found, also those beyond capacity. */
ZU_EXPORT u64 tov_archive_access_files(const TovArchiveSet* set, const char* const* names,
                                       u64 count, TovFileInfo* out, u64 capacity);
ZU_EXPORT u64 tov_archive_access_files_by_hash(const TovArchiveSet* set, const u64* hashes,
                                               u64 count, TovFileInfo* out, u64 capacity);
/* Hash i is the u64 at first + i * stride bytes: a field of the caller's
 * own records. */
ZU_EXPORT u64 tov_archive_access_files_by_hash_stride(const TovArchiveSet* set, const u64* first,
                                                      u64 count, u64 stride, TovFileInfo* out,
                                                      u64 capacity);

/* ---- string tables ----------------------------------------------------- */

/* False when name is not found, or is not a string table (info, when not
 * null, is filled whenever name is found). */
ZU_EXPORT bool tov_archive_access_stringtable(const TovArchiveSet* set, const char* name,
                                              TovStringTable* table, TovFileInfo* info);
/* The same for a file already found; false unless its type is 6. */
ZU_EXPORT bool tov_access_stringtable(const TovFileInfo* info, TovStringTable* table);

/* ---- directories ------------------------------------------------------- */
/* The files of directories ("" is the root, others end with '/'; files of
 * subdirectories included) whose type is one of types (0 means every type).
 * Without _with_dupes a name is reported once, from the first archive that
 * holds it; with it, once per archive. Results come by archive, then type,
 * then directory, each list by name hash. Returns the number of matches,
 * which may exceed capacity. */
ZU_EXPORT u64 tov_archive_index_directory(const TovArchiveSet* set, const char* directory,
                                          u64 type, TovFileInfo* out, u64 capacity);
ZU_EXPORT u64 tov_archive_index_directory_n(const TovArchiveSet* set, const char* directory,
                                            const u64* types, u64 type_count, TovFileInfo* out,
                                            u64 capacity);
ZU_EXPORT u64 tov_archive_index_directories(const TovArchiveSet* set,
                                            const char* const* directories,
                                            u64 directory_count, u64 type, TovFileInfo* out,
                                            u64 capacity);
ZU_EXPORT u64 tov_archive_index_directories_n(const TovArchiveSet* set,
                                              const char* const* directories,
                                              u64 directory_count, const u64* types,
                                              u64 type_count, TovFileInfo* out, u64 capacity);
ZU_EXPORT u64 tov_archive_index_directory_with_dupes(const TovArchiveSet* set,
                                                     const char* directory, u64 type,
                                                     TovFileInfo* out, u64 capacity);
ZU_EXPORT u64 tov_archive_index_directory_with_dupes_n(const TovArchiveSet* set,
                                                       const char* directory, const u64* types,
                                                       u64 type_count, TovFileInfo* out,
                                                       u64 capacity);
ZU_EXPORT u64 tov_archive_index_directories_with_dupes(const TovArchiveSet* set,
                                                       const char* const* directories,
                                                       u64 directory_count, u64 type,
                                                       TovFileInfo* out, u64 capacity);
ZU_EXPORT u64 tov_archive_index_directories_with_dupes_n(const TovArchiveSet* set,
                                                         const char* const* directories,
                                                         u64 directory_count, const u64* types,
                                                         u64 type_count, TovFileInfo* out,
                                                         u64 capacity);

/* ---- describing ------------------------------------------------------------ */

typedef struct TovArchiveInfo {
  const char* path;
  u64 total_size;   /* bytes, as the header says */
  u64 file_count;   /* packed files, all.fileinfo included */
  u64 type_count;   /* one more than the highest type code */
  u64 directory_count;
} TovArchiveInfo;

/* Describes the index-th archive of the set (0 is the first); false when
 * there is no such archive. */
ZU_EXPORT bool tov_archive_describe(const TovArchiveSet* set, u64 index, TovArchiveInfo* out);

/* ---- names ----------------------------------------------------------------- */

/* The archive name that packing with --tov-normalize-names makes of a source
 * name, so that a game can look up the names its artists wrote: ASCII
 * letters are lower-cased and every other byte outside a-z 0-9 . / _
 * becomes '_' (each byte of a multi-byte character on its own), so
 * "Hero_Idle.PNG" becomes "hero_idle.png" and "shot-hard/pipe 2.jpg"
 * becomes "shot_hard/pipe_2.jpg". This mapping never changes. Writes at
 * most size - 1 bytes and a 0 into out (nothing when size is 0) and returns
 * the length of the whole name, as snprintf does; out may be name. */
ZU_EXPORT u64 tov_archive_normalize_name(const char* name, char* out, u64 size);

/* ---- checking ------------------------------------------------------------ */

#define TOV_VERIFY_CONTENT 1u /* also hash every file's bytes */

/* Checks the bytes of an archive (a mapped file, say) without trusting any
 * offset in it: header, entries, names, both hash tables, directory blocks,
 * string tables and the catalogue. An archive it accepts is safe for every
 * function above, and so are the strings of its string tables. On a fault
 * it returns false and writes a message naming the first fault and its
 * offset into message (message_size bytes, may be 0). It takes time linear
 * in the archive's size (more with TOV_VERIFY_CONTENT), whatever the bytes.
 *
 * When to call it: on every archive the game did not build itself, or that
 * someone else could have changed or cut short (a download, a mod, a patch,
 * a file a crash left half-written). A game may skip it for the archives it
 * ships and installs read-only. Without it the runtime still never reads
 * outside an archive's mapping and hands out only records whose name and
 * data lie inside it (a file that does not end like an archive finds
 * nothing), but a damaged archive's records may be wrong and its string
 * tables' strings may run past their data. A hash of 0 never finds a file:
 * a game may use it for "no asset". */
ZU_EXPORT bool tov_archive_verify(const void* bytes, u64 size, u32 flags, char* message,
                                  u64 message_size);

#ifdef __cplusplus
}
#endif

#endif
