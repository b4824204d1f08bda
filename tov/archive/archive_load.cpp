// SPDX-License-Identifier: Zlib
// Mapping one archive file: its tables made ready for probing, the names it
// hides, and a development archive's overlay.
#include "archive_set.h"
#include "file_access.h"

namespace {

// The slots of the table at offset, when the whole table lies in the file.
// The check is two comparisons, so a truncated file cannot send a probe out
// of its mapping; the rest of the archive is trusted (see verification).
ArchiveTableView table(const u8* base, u64 size, u64 offset) {
  if (offset > size || size - offset < sizeof(ArchiveHashTable))
    return archive_table_view(nullptr, 0);
  const ArchiveHashTable* header = (const ArchiveHashTable*)(base + offset);
  u64 room = (size - offset - sizeof(ArchiveHashTable)) / sizeof(ArchiveSlot);
  if (header->slot_count > room || header->slot_count > 0xFFFFFFFFull)
    return archive_table_view(nullptr, 0);
  return archive_table_view((const ArchiveSlot*)(header + 1), header->slot_count);
}

// The entry of a member found by its name, when its data lies in the file.
const ArchiveEntry* member(const LoadedArchive* archive, const char* name) {
  u64 hash = zu_hash_s(name, strlen(name), 0);
  const ArchiveSlot* slot = archive_hash_table_probe(&archive->names, hash);
  const ArchiveEntry* entry = slot ? archive_entry_at(archive, slot->value) : nullptr;
  if (!entry || !archive_range_ok(archive->size, entry->data, entry->size)) return nullptr;
  return entry;
}

// The names an archive hides, from its "all.deleted": a table that must lie
// inside the member, or none. *base gets the catalogue hash it names.
void read_hidden(LoadedArchive* archive, u64* base) {
  *base = 0;
  const ArchiveEntry* entry = member(archive, kHiddenNamesMember);
  if (!entry || entry->size < sizeof(HiddenNames)) return;
  const HiddenNames* hidden = (const HiddenNames*)(archive->base + entry->data);
  *base = hidden->base;
  u64 room = (entry->size - sizeof(HiddenNames)) / sizeof(ArchiveSlot);
  if (hidden->table.slot_count > room || hidden->table.slot_count > 0xFFFFFFFFull) return;
  archive->hidden = archive_table_view((const ArchiveSlot*)(hidden + 1), hidden->table.slot_count);
  archive->hides = hidden->table.item_count != 0 && hidden->table.slot_count >= 4;
}

LoadedArchive* map_archive(const char* path) {
  ZuMappedFile* mapping = filesystem_mapped_file_create(path);
  if (!mapping) return nullptr;
  u64 size;
  const u8* base = (const u8*)filesystem_mapped_file_get_memory(mapping, &size);
  LoadedArchive* archive = (LoadedArchive*)sys_malloc(sizeof(LoadedArchive));
  memset((void*)archive, 0, sizeof(*archive));
  archive->mapping = mapping;
  zu_string_init(&archive->path, path);
  archive->base = base;
  // A file too short for its header has no tables: every lookup misses.
  archive->names = archive_table_view(nullptr, 0);
  archive->directories = archive_table_view(nullptr, 0);
  archive->hidden = archive_table_view(nullptr, 0);
  archive->size = size;
  archive->path_text = zu_string_text(&archive->path);
  if (size < sizeof(ArchiveHeader)) return archive;
  // Lookups read the entries and the tables at random: large pages there
  // spare most of their page faults and TLB misses. The file data is left
  // to the system's read-ahead, as a game may read little of it. Advised
  // before any of those bytes is read, the last one included: a piece of
  // the mapping touched in small pages stays small.
  filesystem_mapped_file_prefer_large_pages(mapping, 0, sizeof(ArchiveHeader));
  const ArchiveHeader* header = (const ArchiveHeader*)base;
  u64 data_start = size;  // the entries end where the first file's data begins
  if (size >= sizeof(ArchiveHeader) + sizeof(ArchiveEntry))
    data_start = ((const ArchiveEntry*)(header + 1))->data;
  filesystem_mapped_file_prefer_large_pages(mapping, 0, data_start);
  filesystem_mapped_file_prefer_large_pages(mapping, header->name_table, size);
  archive->flags = header->flags;
  // A file built by the packer ends in a 0 byte (the high byte of the last
  // slot of its directory table). One that does not is left without tables;
  // one that does guarantees that every name inside it ends inside it, so
  // the lookups need no scan to hand out a name.
  if (base[size - 1] == 0) {
    archive->names = table(base, size, header->name_table);
    archive->directories = table(base, size, header->directory_table);
    if (size >= kArchiveEntriesOffset + sizeof(ArchiveEntry))
      archive->entries_end = size - sizeof(ArchiveEntry) + 1;
  }
  return archive;
}

}  // namespace

u64 archive_catalogue_hash(const LoadedArchive* archive) {
  const ArchiveEntry* entry = member(archive, kCatalogueMember);
  return entry ? entry->content_hash : 0;
}

LoadedArchive* archive_load_overlay(LoadedArchive* archive) {
  ZuString path;
  zu_string_init_copy(&path, &archive->path);
  zu_string_add_text(&path, kOverlaySuffix);
  LoadedArchive* overlay = map_archive(zu_string_text(&path));
  if (overlay) {
    archive->overlay_stamp = *filesystem_mapped_file_get_stamp(overlay->mapping);
    u64 base = 0;
    if (overlay->flags & kArchiveHidesNames) read_hidden(overlay, &base);
    // Written for another build of the archive (the pack folds the overlay
    // into a new archive, then removes it): not this one's.
    u64 own = archive_catalogue_hash(archive);
    if (base != own || own == 0) {
      archive_unload(overlay);
      overlay = nullptr;
    }
  } else {
    filesystem_get_stamp(zu_string_text(&path), &archive->overlay_stamp);
  }
  zu_string_destroy(&path);
  return overlay;
}

LoadedArchive* archive_load(const char* path) {
  LoadedArchive* archive = map_archive(path);
  if (!archive) return nullptr;
  u64 base;
  if (archive->flags & kArchiveHidesNames) read_hidden(archive, &base);
  if (archive->flags & kArchiveHasOverlay) archive->overlay = archive_load_overlay(archive);
  return archive;
}

void archive_unload(LoadedArchive* archive) {
  filesystem_mapped_file_destroy(archive->mapping);
  zu_string_destroy(&archive->path);
  sys_free(archive);
}
