/* SPDX-License-Identifier: Zlib
 *
 * tov archives at run time: load .tov archives into an ordered set and read
 * their files in place. Self-contained: this header needs only the C
 * library's <stdint.h>, <stddef.h> and <stdbool.h>, and compiles as C99 and
 * later and as C++11 and later. Link libtov_archive (pkg-config tov, or
 * find_package(tov CONFIG) and the target tov::archive).
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
 *     uint64_t n = tov_archive_index_directory(set, "textures/", TOV_TYPE_IMAGE,
 *                                              textures, 256);
 *
 *     tov_archive_destroy(set);                     // every pointer dies here
 *
 * Costs. Opening an archive maps it and reads two offsets from its header,
 * whatever its size. A lookup by name hashes the name and probes one bucket
 * of a hash table per archive of the set, in order, until one holds it: tens
 * of nanoseconds with the tables in memory. Listing a directory costs the
 * length of the lists it reports. Only the set functions allocate (a little,
 * per archive); nothing allocates for results: callers pass arrays and their
 * capacity, functions return how many records there were, and a call with a
 * null array and capacity 0 counts.
 *
 * Lifetime. Every pointer handed out (names, data, string tables, archive
 * paths) points into an archive's mapping or the set and stays valid while
 * that archive stays in the set: until it is removed or the set destroyed,
 * and, for an archive a reload replaced, until the game releases the
 * generation that handed it out (see "live reloading").
 *
 * Threads. Lookups, listings and descriptions on one set may run on many
 * threads at once while no thread adds, removes or reorders archives or
 * destroys the set; those calls need the set to themselves. A reload may
 * run while other threads look up: each lookup, batch or listing sees the
 * set as it was before the reload or as it is after, never a mix. Different
 * sets are independent. tov_archive_verify, tov_archive_normalize_name and
 * tov_archive_name_hash touch nothing shared.
 *
 * Large pages. The system is asked to back an archive's entries and tables
 * with large pages where it can (on Linux, transparent huge pages, when
 * enabled as "always" or "madvise"), so that lookups after a cold start read
 * them 2 MiB at a time and miss the TLB less; file data is left to the
 * normal read-ahead. Windows maps files with small pages only: there the
 * entries and tables are read ahead instead.
 *
 * Machines. The same archive reads the same on x86-64 and 64-bit ARM, under
 * Linux and Windows: archives are little-endian, and records are read
 * without any assumption about their alignment. Big-endian machines are not
 * supported (a build for one stops at this header).
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
 *
 * Archives that a game did not build itself may be damaged or hostile: see
 * tov_archive_verify at the end.
 */
#ifndef TOV_ARCHIVE_H
#define TOV_ARCHIVE_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

/* Archives are little-endian and read in place. */
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "tov archives are read in place and little-endian: big-endian machines are not supported"
#endif

/* On Windows the functions come from tov_archive.dll, unless the game links
 * the static library and defines TOV_STATIC (the CMake target
 * tov::archive_static does). */
#ifndef TOV_API
#if defined(_WIN32) && defined(TOV_STATIC)
#define TOV_API
#elif defined(_WIN32) && defined(TOV_BUILDING)
#define TOV_API __declspec(dllexport)
#elif defined(_WIN32)
#define TOV_API __declspec(dllimport)
#elif defined(__GNUC__) || defined(__clang__)
#define TOV_API __attribute__((visibility("default")))
#else
#define TOV_API
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Archive type codes: the built-in ones, then one per engine module. */
enum {
  TOV_TYPE_DATA = 2,         /* .bin, compiled .data.cpp, all.fileinfo */
  TOV_TYPE_SOURCE = 3,       /* .cpp, .c */
  TOV_TYPE_HEADER = 4,       /* .h, .gen.h */
  TOV_TYPE_ARCHIVE = 5,      /* .tov */
  TOV_TYPE_STRING_TABLE = 6, /* .strtbl: string tables */
  /* The engine modules' files. An ending belongs to one module only: shader
   * sources are render's (not text), .json/.yaml/.toml are entity data, and
   * .txt/.csv/.ini/.cfg are game data. */
  TOV_TYPE_RENDER = 7,  /* .hlsl .glsl .spv .wgsl .vert .frag .comp .shader */
  TOV_TYPE_IMAGE = 8,   /* .png .jpg .jpeg .tga .dds .ktx2 .hdr .exr .bmp */
  TOV_TYPE_AUDIO = 9,   /* .wav .ogg .flac .mp3 .opus */
  TOV_TYPE_MODEL = 10,  /* .gltf .glb .obj .fbx */
  TOV_TYPE_FONT = 11,   /* .ttf .otf .woff2 */
  TOV_TYPE_ENTITY = 12, /* .json (validated and minified) .yaml .yml .toml */
  TOV_TYPE_GAME = 13    /* .csv .txt .ini .cfg; .data.c compiles to a .bin of type 2 */
};

typedef struct TovArchiveSet TovArchiveSet;

typedef struct TovArchiveSetDesc {
  const char* const* paths;
  uint64_t count;
} TovArchiveSetDesc;

/* One packed file: pointers into the mapping. */
typedef struct TovFileInfo {
  const char* name;    /* its name in the archive, NUL-terminated */
  const char* archive; /* the path of the archive holding it, as loaded */
  uint64_t hash;       /* tov_archive_hash of the name's bytes */
  uint16_t type;       /* type code (TOV_TYPE_*) */
  uint8_t flag;
  uint8_t reserved[5];
  uint64_t checksum; /* tov_archive_hash of the file's bytes */
  uint64_t size;     /* bytes of data */
  const void* data;  /* no alignment promised: files are packed back to back */
} TovFileInfo;

/* Packed files follow each other without padding, so a 64-bit value inside
 * one may sit at any address: this type reads it safely wherever it is.
 * Other compilers are only used for x86-64 and AArch64, which load such
 * values in hardware. */
#if defined(__GNUC__) || defined(__clang__)
typedef uint64_t TovUnalignedU64 __attribute__((aligned(1)));
#else
typedef uint64_t TovUnalignedU64;
#endif

/* A string table (type 6): string i is text + offsets[i], NUL-terminated. */
typedef struct TovStringTable {
  uint64_t count;
  const TovUnalignedU64* offsets; /* null when count is 0 */
  const char* text;               /* null when count is 0 */
} TovStringTable;

#define TOV_ARCHIVE_END ((uint64_t)-1) /* tov_archive_add_archives: after all */

/* ---- the set -------------------------------------------------------------
 * These calls change the set: no other call may use it meanwhile. */

/* A set holding the archives of desc, in its order; null when one of them
 * cannot be mapped (missing, unreadable, not a regular file). A count of 0
 * gives an empty set. Maps each file; reads nothing else. */
TOV_API TovArchiveSet* tov_archive_create(const TovArchiveSetDesc* desc);
/* Unmaps every archive and frees the set; set may be null. */
TOV_API void tov_archive_destroy(TovArchiveSet* set);
/* Inserts the archives at position (0: in front of all, TOV_ARCHIVE_END or
 * any position past the end: after all), keeping their order. All or
 * nothing: false, and the set unchanged, when one cannot be mapped. */
TOV_API bool tov_archive_add_archives(TovArchiveSet* set, const char* const* paths,
                                      uint64_t count, uint64_t position);
/* Removes and unmaps every archive loaded under one of the paths (compared
 * byte for byte with the path it was loaded under). Returns false in every
 * case; tov_archive_is_loaded tells what is left. */
TOV_API bool tov_archive_remove_archives(TovArchiveSet* set, const char* const* paths,
                                         uint64_t count);
/* True when an archive of the set was loaded under path. */
TOV_API bool tov_archive_is_loaded(const TovArchiveSet* set, const char* path);
/* Remembers the archives' order by path ... */
TOV_API void tov_archive_persist_order(TovArchiveSet* set);
/* ... and brings it back after archives were removed and added again;
 * archives it did not remember keep the places left. */
TOV_API void tov_archive_restore_order(TovArchiveSet* set);

/* ---- files by name or hash ---------------------------------------------
 * The first archive of the set that holds the file answers. A hash of 0
 * never finds a file: a game may use it for "no asset". */

/* Fills out and returns true when an archive holds name; false (out
 * untouched) when none does. */
TOV_API bool tov_archive_access_file(const TovArchiveSet* set, const char* name,
                                     TovFileInfo* out);
/* The same by tov_archive_hash of the name. */
TOV_API bool tov_archive_access_file_by_hash(const TovArchiveSet* set, uint64_t hash,
                                             TovFileInfo* out);
/* Many lookups at once, faster than one by one (their memory reads
 * overlap). Names not found take no place in out and are not counted; the
 * result counts every name found, also those beyond capacity. */
TOV_API uint64_t tov_archive_access_files(const TovArchiveSet* set, const char* const* names,
                                          uint64_t count, TovFileInfo* out, uint64_t capacity);
TOV_API uint64_t tov_archive_access_files_by_hash(const TovArchiveSet* set,
                                                  const uint64_t* hashes, uint64_t count,
                                                  TovFileInfo* out, uint64_t capacity);
/* Hash i is the uint64_t at first + i * stride bytes: a field of the
 * caller's own records (any alignment). */
TOV_API uint64_t tov_archive_access_files_by_hash_stride(const TovArchiveSet* set,
                                                         const uint64_t* first, uint64_t count,
                                                         uint64_t stride, TovFileInfo* out,
                                                         uint64_t capacity);

/* ---- string tables ------------------------------------------------------- */

/* False when name is not found, or is not a string table (info, when not
 * null, is filled whenever name is found). */
TOV_API bool tov_archive_access_stringtable(const TovArchiveSet* set, const char* name,
                                            TovStringTable* table, TovFileInfo* info);
/* The same for a file already found; false unless its type is 6 and it is
 * long enough to hold its count. Reads nothing but the count. */
TOV_API bool tov_access_stringtable(const TovFileInfo* info, TovStringTable* table);

/* ---- directories ----------------------------------------------------------
 * The files of directories ("" is the root, others end with '/'; files of
 * subdirectories included) whose type is one of types (0 means every type).
 * Without _with_dupes a name is reported once, from the first archive that
 * holds it; with it, once per archive. Results come by archive, then type,
 * then directory, each list by name hash. Each returns the number of
 * matches, which may exceed capacity: call with capacity 0 to count, then
 * again with room. Costs the length of the lists reported; without
 * _with_dupes also, per file reported, one lookup in each earlier archive
 * and one binary search in each earlier directory's list. */
TOV_API uint64_t tov_archive_index_directory(const TovArchiveSet* set, const char* directory,
                                             uint64_t type, TovFileInfo* out, uint64_t capacity);
TOV_API uint64_t tov_archive_index_directory_n(const TovArchiveSet* set, const char* directory,
                                               const uint64_t* types, uint64_t type_count,
                                               TovFileInfo* out, uint64_t capacity);
TOV_API uint64_t tov_archive_index_directories(const TovArchiveSet* set,
                                               const char* const* directories,
                                               uint64_t directory_count, uint64_t type,
                                               TovFileInfo* out, uint64_t capacity);
TOV_API uint64_t tov_archive_index_directories_n(const TovArchiveSet* set,
                                                 const char* const* directories,
                                                 uint64_t directory_count, const uint64_t* types,
                                                 uint64_t type_count, TovFileInfo* out,
                                                 uint64_t capacity);
TOV_API uint64_t tov_archive_index_directory_with_dupes(const TovArchiveSet* set,
                                                        const char* directory, uint64_t type,
                                                        TovFileInfo* out, uint64_t capacity);
TOV_API uint64_t tov_archive_index_directory_with_dupes_n(const TovArchiveSet* set,
                                                          const char* directory,
                                                          const uint64_t* types,
                                                          uint64_t type_count, TovFileInfo* out,
                                                          uint64_t capacity);
TOV_API uint64_t tov_archive_index_directories_with_dupes(const TovArchiveSet* set,
                                                          const char* const* directories,
                                                          uint64_t directory_count, uint64_t type,
                                                          TovFileInfo* out, uint64_t capacity);
TOV_API uint64_t tov_archive_index_directories_with_dupes_n(
    const TovArchiveSet* set, const char* const* directories, uint64_t directory_count,
    const uint64_t* types, uint64_t type_count, TovFileInfo* out, uint64_t capacity);

/* ---- live reloading ------------------------------------------------------
 * A game (or its editor) that keeps running while its archives are built
 * again calls tov_archive_reload, say once a frame:
 *
 *     if (tov_archive_reload(set, 10)) {            // looks at most every 10 ms
 *       TovArchiveChange changes[64];
 *       uint64_t n = tov_archive_changes(set, changes, 64);
 *       for (uint64_t i = 0; i < n && i < 64; ++i)
 *         reload_asset(changes[i].kind, &changes[i].file);
 *     }
 *     ...the frame, using records of this generation and older ones...
 *     tov_archive_release(set, generation_of_oldest_frame_in_flight);
 *
 * An archive is replaced on disk by renaming a new file over it (as tov
 * writes every output); the reload maps the new file beside the old one and
 * swaps them in one step, so records handed out before still point at the
 * old bytes, which stay mapped until released. A file rewritten in place is
 * outside this: a game must never have an archive overwritten under it.
 *
 * Development archives (packed with --tov-overlay) come with an overlay,
 * "<archive path>.overlay", which holds the files changed since the archive
 * was packed and hides the files deleted since: every call reads the two as
 * one archive, and a reload follows the overlay as it is written, replaced
 * and folded back into the archive. tov_archive_describe lists an overlay
 * as an archive of its own, just before its archive. */

typedef enum TovChangeKind {
  TOV_CHANGE_ADDED = 1,   /* the set serves a file of this name now, and did not */
  TOV_CHANGE_CHANGED = 2, /* other bytes (content hash), size or type */
  TOV_CHANGE_REMOVED = 3  /* the set serves no file of this name any more */
} TovChangeKind;

typedef struct TovArchiveChange {
  uint32_t kind; /* a TovChangeKind */
  uint32_t reserved;
  /* Added and changed: the file as the set serves it now. Removed: as the
   * set served it before, valid until that generation is released. */
  TovFileInfo file;
} TovArchiveChange;

/* Looks whether an archive of the set (or a development archive's overlay)
 * was replaced on disk and, if so, maps the new files, makes them what the
 * set serves, advances the generation and returns the number of names whose
 * file changed (0 also when files were replaced by equal ones). A file that
 * disappeared, or whose replacement cannot be mapped, is kept as it was.
 * Looks at the disk (one stat per file: the archive and, for a development
 * archive, its overlay) only when min_interval_ms or more have passed since
 * its last look; otherwise it reads the clock and returns 0. The names come
 * from the archives' tables and entries, without reading file data; the
 * archives' own catalogues ("all.fileinfo", "all.deleted") are not
 * reported. Only one thread may reload or release, and none may change the
 * set meanwhile; lookups may run (see Threads). */
TOV_API uint64_t tov_archive_reload(TovArchiveSet* set, uint32_t min_interval_ms);
/* The changes of the last reload that changed the set, in name hash order:
 * writes min(capacity, their number) into out (may be null) and returns
 * their number. */
TOV_API uint64_t tov_archive_changes(const TovArchiveSet* set, TovArchiveChange* out,
                                     uint64_t capacity);
/* 0 for a new set; each reload that replaced a file adds 1. */
TOV_API uint64_t tov_archive_generation(const TovArchiveSet* set);
/* Says that no record handed out while the set was at a generation below
 * generation is used any more, by any thread, and that no lookup begun then
 * still runs: the files only those could reach are unmapped.
 * tov_archive_release(set, tov_archive_generation(set)) keeps only what the
 * set serves now. A game that never reloads never needs it. */
TOV_API void tov_archive_release(TovArchiveSet* set, uint64_t generation);

/* ---- describing ---------------------------------------------------------- */

typedef struct TovArchiveInfo {
  const char* path;
  uint64_t total_size; /* bytes, as the header says */
  uint64_t file_count; /* packed files, all.fileinfo included */
  uint64_t type_count; /* one more than the highest type code */
  uint64_t directory_count;
} TovArchiveInfo;

/* Describes the index-th archive of the set (0 is the first, an overlay
 * counted as an archive of its own); false when there is no such archive. */
TOV_API bool tov_archive_describe(const TovArchiveSet* set, uint64_t index, TovArchiveInfo* out);

/* ---- textures ------------------------------------------------------------ */

#define TOV_TEXTURE_MAX_LEVELS 16

typedef struct TovTextureLevel {
  const void* data; /* the level's bytes, ready for a GPU upload; any alignment */
  uint64_t size;
  uint32_t width, height;
} TovTextureLevel;

typedef struct TovTexture {
  uint32_t vk_format;     /* a VkFormat; sdk/include/tov_texture.h lists the tool's */
  uint32_t width, height; /* of level 0 */
  uint32_t level_count;
  uint32_t block_width, block_height, block_bytes; /* 0 for a format the tool does not write */
  TovTextureLevel levels[TOV_TEXTURE_MAX_LEVELS];  /* level 0 is the largest */
} TovTexture;

/* Views a cooked texture (a .ktx2 file's bytes, as found in an archive: any
 * alignment) in place. False when the bytes are not a single-image 2D KTX
 * 2.0 file without supercompression, of at most TOV_TEXTURE_MAX_LEVELS
 * levels, whose levels all lie inside size (and, for the formats the tool
 * writes, have the size their dimensions give). Reads the header and the
 * level index only; the pointers live as long as bytes. */
TOV_API bool tov_texture_view(const void* bytes, uint64_t size, TovTexture* out);

/* ---- fonts ---------------------------------------------------------------- */

typedef struct TovFontGlyph {
  uint32_t code_point;
  uint16_t x, y, width, height; /* its rectangle in the atlas; 0 x 0 for a blank */
  int16_t bearing_x, bearing_y; /* whole pixels: top-left at pen + (x, -y) */
  int32_t advance;              /* 26.6 fixed point */
} TovFontGlyph;

typedef struct TovFont {
  uint32_t pixel_size, spread;
  uint32_t atlas_width, atlas_height;
  int32_t ascender, descender, line_height; /* 26.6 */
  uint32_t glyph_count, kerning_count;
  const void* glyphs;  /* the file's records (any alignment): use tov_font_glyph */
  const void* kerning;
  const int8_t* atlas; /* signed distances, row by row, negative inside */
} TovFont;

/* Views a cooked font (a .font file's bytes, any alignment) in place; false
 * unless its header, tables and atlas lie inside size and its glyph
 * rectangles inside the atlas. sdk/include/tov_font.h gives the layout. */
TOV_API bool tov_font_view(const void* bytes, uint64_t size, TovFont* out);
/* The glyph of a code point (binary search); false when the font has none. */
TOV_API bool tov_font_glyph(const TovFont* font, uint32_t code_point, TovFontGlyph* out);
/* The kerning of a pair in 26.6 (binary search); 0 for a pair without. */
TOV_API int32_t tov_font_kerning(const TovFont* font, uint32_t left, uint32_t right);

/* ---- sounds --------------------------------------------------------------- */

typedef enum TovSoundCodec {
  TOV_SOUND_PCM16 = 1, /* data: interleaved signed 16-bit samples, little-endian */
  TOV_SOUND_OPUS = 2   /* data: the whole Ogg Opus stream, for a decoder */
} TovSoundCodec;

typedef struct TovSound {
  uint32_t codec; /* a TovSoundCodec */
  uint32_t channels;
  uint32_t sample_rate; /* of the decoded samples: 48000 for Opus */
  uint64_t frame_count; /* samples per channel, once decoded */
  uint32_t pre_skip;    /* Opus: decoded samples to drop at the start */
  const void* data;     /* any alignment */
  uint64_t size;
} TovSound;

/* Views a cooked sound (a .opus file's bytes, any alignment) in place: its
 * PCM samples, or the Ogg Opus stream with its length from the last page.
 * False unless the header and data lie inside size. sdk/include/tov_sound.h
 * gives the layout. */
TOV_API bool tov_sound_view(const void* bytes, uint64_t size, TovSound* out);

/* ---- meshes --------------------------------------------------------------- */

typedef struct TovMeshAttribute {
  uint32_t semantic;  /* 0 position, 1 normal, 2 texture coordinates */
  uint32_t vk_format; /* a VkFormat; sdk/include/tov_mesh.h lists the tool's */
  uint32_t offset;    /* bytes into a vertex */
} TovMeshAttribute;

typedef struct TovMeshLod {
  uint32_t first_index, index_count; /* a range of the index buffer */
  float error; /* how far from level 0, in the source's units */
} TovMeshLod;

typedef struct TovMesh {
  uint32_t vertex_count, vertex_stride, attribute_count;
  uint32_t index_count, index_size; /* 2 or 4 bytes an index */
  uint32_t lod_count;
  TovMeshAttribute attributes[4];
  TovMeshLod lods[8]; /* level 0 is the full mesh */
  float bounds_min[3], bounds_max[3], center[3], radius;
  const void* vertices; /* ready for upload; any alignment */
  const void* indices;
} TovMesh;

/* Views a cooked mesh (a .mesh file's bytes, any alignment) in place; false
 * unless its tables and buffers lie inside size, every attribute inside a
 * vertex and every level inside the index buffer. sdk/include/tov_mesh.h
 * gives the layout. */
TOV_API bool tov_mesh_view(const void* bytes, uint64_t size, TovMesh* out);

/* ---- names and hashes ------------------------------------------------------ */

/* The 64-bit hash archives use for names and contents (XXH3-64, seed 0):
 * a name's hash is tov_archive_hash(name, strlen(name)). Equal in every
 * process, on every machine and in every version. */
TOV_API uint64_t tov_archive_hash(const void* bytes, uint64_t size);

/* The archive name that packing with --tov-normalize-names makes of a source
 * name, so that a game can look up the names its artists wrote: ASCII
 * letters are lower-cased and every other byte outside a-z 0-9 . / _
 * becomes '_' (each byte of a multi-byte character on its own), so
 * "Hero_Idle.PNG" becomes "hero_idle.png" and "shot-hard/pipe 2.jpg"
 * becomes "shot_hard/pipe_2.jpg". This mapping never changes. Writes at
 * most size - 1 bytes and a 0 into out (nothing when size is 0) and returns
 * the length of the whole name, as snprintf does; out may be name. */
TOV_API uint64_t tov_archive_normalize_name(const char* name, char* out, uint64_t size);

/* ---- checking ------------------------------------------------------------ */

#define TOV_VERIFY_CONTENT 1u /* also hash every file's bytes */

/* Checks the bytes of an archive (a mapped file, say) without trusting any
 * offset in it: header, entries, names, both hash tables, directory blocks,
 * string tables and the catalogue. An archive it accepts is safe for every
 * function above, and so are the strings of its string tables. On a fault
 * it returns false and writes a message naming the first fault and its
 * offset into message (message_size bytes, may be 0; message may then be
 * null). It takes time linear in the archive's size (more with
 * TOV_VERIFY_CONTENT), whatever the bytes, and allocates a little.
 *
 * When to call it: on every archive the game did not build itself, or that
 * someone else could have changed or cut short (a download, a mod, a patch,
 * a file a crash left half-written). A game may skip it for the archives it
 * ships and installs read-only. Without it the runtime still never reads
 * outside an archive's mapping and hands out only records whose name and
 * data lie inside it (a file that does not end like an archive finds
 * nothing), but a damaged archive's records may be wrong and its string
 * tables' strings may run past their data. */
TOV_API bool tov_archive_verify(const void* bytes, uint64_t size, uint32_t flags, char* message,
                                uint64_t message_size);

#ifdef __cplusplus
}
#endif

#endif
