// SPDX-License-Identifier: Zlib
// The archive set's records, shared by the set, its reload and the lookups.
#pragma once

#include "format.h"
#include "hash_table.h"
#include "tov/tov_archive.h"
#include "zu_array.h"
#include "zu_string.h"

// One mapped archive file. What lookups read comes first: a batch copies it.
struct LoadedArchive {
  const u8* base;
  ArchiveTableView names;  // no slots when the table is missing or truncated
  ArchiveTableView directories;
  // Names this archive hides in the archives after it (its "all.deleted");
  // lookups probe it only when hides is set, after a miss here.
  ArchiveTableView hidden;
  u64 size;  // bytes mapped: tables that do not fit are left out at load
  // Kept for the lookups, which hand both out or check against them per name.
  const char* path_text;  // zu_string_text(&path)
  // An entry at an offset below this lies wholly in the file; 0 when no
  // entry can be trusted to: then every lookup misses. Otherwise it is
  // size - sizeof(ArchiveEntry) + 1. An archive that passes verification
  // also has every name and all file data below it (two hash tables of 80
  // bytes or more follow them), so the lookups hold records to it: one
  // bound for both tests.
  u64 entries_end;
  bool hides;

  ZuMappedFile* mapping;
  ZuString path;  // as loaded: the archive's identity in the set
  u32 flags;      // the header's, 0 for a file too short for one
  // A development archive (kArchiveHasOverlay): the overlay mapped in front
  // of it, or null, and the stamp its path had when last looked at (zero
  // when there was no file), so that a reload sees one added, replaced or
  // removed.
  LoadedArchive* overlay;
  ZuFileStamp overlay_stamp;
};

// What lookups see of a set: built whole, published with one pointer and
// never changed, so a lookup on another thread reads one view from start
// to end while a reload replaces it.
struct ArchiveView {
  // archives[0], copied: a lookup reaches it with the one load of the view
  // pointer. When the view is empty, an archive that holds nothing.
  LoadedArchive first;
  u32 count;
  bool any_hides;  // some archive hides names
  // Highest precedence first; each development archive's overlay just
  // before it.
  const LoadedArchive* archives[1];  // count of them (at least the room for one)
};

// A view or an archive that a reload replaced, kept mapped until the game
// releases the generation that could still reach it.
struct RetiredPiece {
  u64 generation;  // the last generation that served it
  ArchiveView* view;
  LoadedArchive* archive;
};

// A folder that holds archives of the set, as a reload last saw it.
struct WatchedFolder {
  ZuString path;
  ZuFileStamp stamp;
  u64 looked_at;   // sys_clock_ns of the reload that last looked at it
  bool changed;    // what that reload found
};

struct TovArchiveSet {
  const ArchiveView* view;           // read by lookups with acquire, replaced whole
  ZuArray<LoadedArchive*> archives;  // as added (no overlays), highest precedence first
  ZuArray<ZuString> saved_order;
  u64 generation;  // reloads that changed the view
  u64 checked_at;  // sys_clock_ns of the last look at the disk; 0: never
  ZuArray<WatchedFolder> folders;  // of the archives, for a reload's first look
  ZuArray<RetiredPiece> retired;
  ZuArray<TovArchiveChange> changes;  // of the last reload that changed the view
};

inline const ArchiveHeader* archive_header(const LoadedArchive* archive) {
  return (const ArchiveHeader*)archive->base;
}

inline const ArchiveView* archive_set_view(const TovArchiveSet* set) {
  return __atomic_load_n(&set->view, __ATOMIC_ACQUIRE);
}

// Maps the archive at path, and its overlay when it is a development
// archive; null when path cannot be mapped.
LoadedArchive* archive_load(const char* path);
// The overlay of a development archive as its path now holds it: null when
// there is none or it lies over another build of the archive. Sets
// archive->overlay_stamp to what it looked at.
LoadedArchive* archive_load_overlay(LoadedArchive* archive);
// The content hash of an archive's catalogue, which names this build of
// it; 0 when it has none.
u64 archive_catalogue_hash(const LoadedArchive* archive);
// Unmaps one file and frees its record (not its overlay).
void archive_unload(LoadedArchive* archive);

// A view of archives (each followed by nothing: overlays are put in front
// here); sys_free it.
ArchiveView* archive_view_build(LoadedArchive* const* archives, u32 count);
// Publishes a view of the set's archives and returns the one it replaced.
ArchiveView* archive_set_publish(TovArchiveSet* set);

// The archive of the view that serves hash, and its entry: the first that
// holds it, unless an archive before it hides it.
bool archive_view_find(const ArchiveView* view, u64 hash, const LoadedArchive** archive,
                       const ArchiveEntry** entry);
