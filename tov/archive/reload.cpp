// SPDX-License-Identifier: Zlib
// Reloading a set while a game runs: archives replaced on disk (and the
// overlays of development archives) are mapped beside the old ones, a new
// view is published in one store, and what the old ones served stays mapped
// until the game releases the generation that could still read it.
#include "archive_set.h"
#include "file_access.h"
#include "zu_sort.h"

namespace {

struct Replacement {
  LoadedArchive** slot;     // where the set holds the archive (or its overlay pointer)
  LoadedArchive* previous;  // null: there was none (an overlay added)
  LoadedArchive* next;      // null: there is none now (an overlay removed)
  bool whole;               // the archive itself, its overlay with it
};

void overlay_path(const LoadedArchive* archive, ZuString* out) {
  zu_string_init_copy(out, &archive->path);
  zu_string_add_text(out, kOverlaySuffix);
}

// Looks at the disk for one archive of the set: one stat for its file, one
// more for a development archive's overlay.
void look_at(LoadedArchive** slot, ZuArray<Replacement>* replacements) {
  LoadedArchive* archive = *slot;
  ZuFileStamp now;
  bool exists = filesystem_get_stamp(archive->path_text, &now);
  // A file gone from its place leaves the mapping as it was: nothing
  // replaced it yet (a rename puts the next one there in one step).
  if (exists && !filesystem_stamp_equal(&now, filesystem_mapped_file_get_stamp(archive->mapping))) {
    LoadedArchive* next = archive_load(archive->path_text);
    if (next) zu_array_push(replacements, Replacement{slot, archive, next, true});
    return;
  }
  if (!(archive->flags & kArchiveHasOverlay)) return;
  ZuString path;
  overlay_path(archive, &path);
  filesystem_get_stamp(zu_string_text(&path), &now);
  zu_string_destroy(&path);
  if (filesystem_stamp_equal(&now, &archive->overlay_stamp)) return;
  LoadedArchive* next = archive_load_overlay(archive);
  if (next || archive->overlay)
    zu_array_push(replacements, Replacement{&archive->overlay, archive->overlay, next, false});
}

// The names whose file may differ between two versions of one archive:
// every name either holds or hides.
void add_names(const LoadedArchive* archive, ZuArray<u64>* hashes) {
  if (!archive) return;
  const ArchiveTableView* tables[] = {&archive->names, &archive->hidden};
  for (const ArchiveTableView* table : tables)
    for (u64 i = 0; i < table->buckets * 4; ++i)
      if (table->slots[i].key) zu_array_push(hashes, table->slots[i].key);
}

// A file of a view, as the changes report it.
struct Served {
  const LoadedArchive* archive;
  const ArchiveEntry* entry;
};

bool serve(const ArchiveView* view, u64 hash, Served* out) {
  return archive_view_find(view, hash, &out->archive, &out->entry);
}

bool same_file(const Served* a, const Served* b) {
  return a->entry->content_hash == b->entry->content_hash && a->entry->size == b->entry->size &&
         a->entry->type == b->entry->type;
}

// What changed between two views, for the names in hashes: each file added,
// changed (another content hash, size or type) or removed. The archives'
// own bookkeeping (their catalogues and hidden names) is left out.
void diff(const ArchiveView* before, const ArchiveView* after, ZuArray<u64>* hashes,
          ZuArray<TovArchiveChange>* changes) {
  zu_sort_array(hashes);
  u64 catalogue = zu_hash_s(kCatalogueMember, sizeof(kCatalogueMember) - 1, 0);
  u64 hidden = zu_hash_s(kHiddenNamesMember, sizeof(kHiddenNamesMember) - 1, 0);
  zu_array_clear(changes);
  for (u32 i = 0; i < hashes->count; ++i) {
    u64 hash = hashes->data[i];
    if ((i && hash == hashes->data[i - 1]) || hash == catalogue || hash == hidden) continue;
    Served old_file, new_file;
    bool had = serve(before, hash, &old_file);
    bool has = serve(after, hash, &new_file);
    if (!had && !has) continue;
    if (had && has && same_file(&old_file, &new_file)) continue;
    TovArchiveChange* change = zu_array_push_zeroed(changes);
    change->kind = !had ? TOV_CHANGE_ADDED : !has ? TOV_CHANGE_REMOVED : TOV_CHANGE_CHANGED;
    const Served* shown = has ? &new_file : &old_file;
    archive_file_info(shown->archive, shown->entry, &change->file);
  }
}

// A folder's stamp changes when a file in it is created, renamed or
// removed, and a replaced archive is renamed into place: while a folder's
// stamp stays, its archives need no look. Times are kept in clock ticks,
// so a second change in the tick of the first leaves the stamp as it was:
// while the folder's last change is less than a second old, its archives
// are looked at anyway.
constexpr u64 kSettleNs = 1000000000ull;

// Whether the archives in the folder of path may have been replaced since
// the last look: one stat of the folder per reload.
bool folder_changed(TovArchiveSet* set, const char* path, u64 now) {
  const char* slash = strrchr(path, '/');  // the runtime carries no text functions
  const char* folder = slash ? path : ".";
  u64 length = !slash ? 1 : slash == path ? 1 : (u64)(slash - path);
  WatchedFolder* watched = nullptr;
  for (u32 i = 0; i < set->folders.count && !watched; ++i) {
    const ZuString* known = &set->folders.data[i].path;
    if (zu_string_size(known) == length && memcmp(zu_string_text(known), folder, length) == 0)
      watched = set->folders.data + i;
  }
  if (watched && watched->looked_at == now) return watched->changed;  // another of its archives
  bool first = !watched;
  if (first) {
    watched = zu_array_push_zeroed(&set->folders);
    zu_string_init_text(&watched->path, folder, folder + length);
  }
  ZuFileStamp stamp;
  bool seen = filesystem_get_folder_stamp(zu_string_text(&watched->path), &stamp);
  u64 today = sys_time_ns();
  bool recent = !seen || today < stamp.modified || today - stamp.modified < kSettleNs;
  // Never looked at: the archives may have been replaced since they were
  // mapped.
  watched->changed = first || recent || !filesystem_stamp_equal(&stamp, &watched->stamp);
  watched->stamp = stamp;
  watched->looked_at = now;
  return watched->changed;
}

void retire(TovArchiveSet* set, ArchiveView* view, LoadedArchive* archive) {
  zu_array_push(&set->retired, RetiredPiece{set->generation, view, archive});
}

}  // namespace

u64 tov_archive_reload(TovArchiveSet* set, u32 min_interval_ms) {
  u64 now = sys_clock_ns();
  if (set->checked_at && now - set->checked_at < (u64)min_interval_ms * 1000000u) return 0;
  set->checked_at = now;
  ZuArray<Replacement> replacements = {};
  for (u32 i = 0; i < set->archives.count; ++i)
    if (folder_changed(set, set->archives.data[i]->path_text, now))
      look_at(set->archives.data + i, &replacements);
  if (replacements.count == 0) return 0;

  // The names any replaced file held or hid are the ones that may differ.
  ZuArray<u64> hashes = {};
  for (u32 r = 0; r < replacements.count; ++r) {
    const Replacement* replacement = replacements.data + r;
    add_names(replacement->previous, &hashes);
    add_names(replacement->next, &hashes);
    if (replacement->whole) {
      add_names(replacement->previous->overlay, &hashes);
      add_names(replacement->next->overlay, &hashes);
    }
  }
  for (u32 r = 0; r < replacements.count; ++r)
    *replacements.data[r].slot = replacements.data[r].next;
  ArchiveView* before = (ArchiveView*)archive_set_view(set);
  ArchiveView* after = archive_view_build(set->archives.data, set->archives.count);
  diff(before, after, &hashes, &set->changes);
  __atomic_store_n(&set->view, after, __ATOMIC_RELEASE);

  // Everything the old view reached stays mapped until released.
  retire(set, before, nullptr);
  for (u32 r = 0; r < replacements.count; ++r) {
    LoadedArchive* previous = replacements.data[r].previous;
    if (!previous) continue;
    retire(set, nullptr, previous);
    if (replacements.data[r].whole && previous->overlay) retire(set, nullptr, previous->overlay);
  }
  ++set->generation;
  zu_array_destroy(&replacements);
  zu_array_destroy(&hashes);
  return set->changes.count;
}

u64 tov_archive_changes(const TovArchiveSet* set, TovArchiveChange* out, u64 capacity) {
  if (out) {
    u64 count = capacity < set->changes.count ? capacity : set->changes.count;
    memcpy((void*)out, (const void*)set->changes.data, count * sizeof(TovArchiveChange));
  }
  return set->changes.count;
}

u64 tov_archive_generation(const TovArchiveSet* set) { return set->generation; }

void tov_archive_release(TovArchiveSet* set, u64 generation) {
  u32 kept = 0;
  for (u32 i = 0; i < set->retired.count; ++i) {
    RetiredPiece piece = set->retired.data[i];
    if (piece.generation >= generation) {
      set->retired.data[kept++] = piece;
      continue;
    }
    sys_free(piece.view);
    if (piece.archive) archive_unload(piece.archive);
  }
  set->retired.count = kept;
}
