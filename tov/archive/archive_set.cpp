// SPDX-License-Identifier: Zlib
#include "archive_set.h"

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

LoadedArchive* load(const char* path) {
  ZuMappedFile* mapping = filesystem_mapped_file_create(path);
  if (!mapping) return nullptr;
  u64 size;
  const u8* base = (const u8*)filesystem_mapped_file_get_memory(mapping, &size);
  LoadedArchive* archive = (LoadedArchive*)sys_malloc(sizeof(LoadedArchive));
  archive->mapping = mapping;
  zu_string_init(&archive->path, path);
  archive->base = base;
  // A file too short for its header has no tables: every lookup misses.
  archive->names = archive_table_view(nullptr, 0);
  archive->directories = archive_table_view(nullptr, 0);
  archive->size = size;
  archive->path_text = zu_string_text(&archive->path);
  archive->entries_end = 0;
  if (size >= sizeof(ArchiveHeader)) {
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
  }
  return archive;
}

// The set's first archive while it has none: no tables, no entries.
constexpr LoadedArchive kNoArchive = {
    nullptr, {}, nullptr, archive_table_view(nullptr, 0), archive_table_view(nullptr, 0), 0, "", 0};

void set_first(TovArchiveSet* set) {
  set->first = set->archives.count ? set->archives.data[0] : &kNoArchive;
}

void unload(LoadedArchive* archive) {
  filesystem_mapped_file_destroy(archive->mapping);
  zu_string_destroy(&archive->path);
  sys_free(archive);
}

}  // namespace

TovArchiveSet* tov_archive_create(const TovArchiveSetDesc* desc) {
  TovArchiveSet* set = (TovArchiveSet*)sys_malloc(sizeof(TovArchiveSet));
  memset((void*)set, 0, sizeof(*set));
  set_first(set);
  if (!tov_archive_add_archives(set, desc->paths, desc->count, TOV_ARCHIVE_END)) {
    tov_archive_destroy(set);
    return nullptr;
  }
  return set;
}

void tov_archive_destroy(TovArchiveSet* set) {
  if (!set) return;
  for (u32 i = 0; i < set->archives.count; ++i) unload(set->archives.data[i]);
  zu_array_destroy(&set->archives);
  zu_array_destroy(&set->saved_order);
  sys_free(set);
}

bool tov_archive_add_archives(TovArchiveSet* set, const char* const* paths, u64 count,
                              u64 position) {
  if (count == 0) return true;
  LoadedArchive** loaded = (LoadedArchive**)sys_malloc(count * sizeof(LoadedArchive*));
  for (u64 i = 0; i < count; ++i) {
    loaded[i] = load(paths[i]);
    if (!loaded[i]) {
      for (u64 k = 0; k < i; ++k) unload(loaded[k]);
      sys_free(loaded);
      return false;
    }
  }
  if (position == TOV_ARCHIVE_END || position > set->archives.count) position = set->archives.count;
  for (u64 i = 0; i < count; ++i) zu_array_insert(&set->archives, position + i, loaded[i]);
  sys_free(loaded);
  set_first(set);
  return true;
}

bool tov_archive_remove_archives(TovArchiveSet* set, const char* const* paths, u64 count) {
  for (u64 p = 0; p < count; ++p) {
    for (u32 i = 0; i < set->archives.count;) {
      LoadedArchive* archive = set->archives.data[i];
      if (zu_string_equal_text(&archive->path, paths[p])) {
        unload(archive);
        zu_array_remove(&set->archives, i);
      } else {
        ++i;
      }
    }
  }
  set_first(set);
  return false;
}

bool tov_archive_is_loaded(const TovArchiveSet* set, const char* path) {
  for (u32 i = 0; i < set->archives.count; ++i)
    if (zu_string_equal_text(&set->archives.data[i]->path, path)) return true;
  return false;
}

void tov_archive_persist_order(TovArchiveSet* set) {
  zu_array_clear(&set->saved_order);
  for (u32 i = 0; i < set->archives.count; ++i)
    zu_string_init_copy(zu_array_push_zeroed(&set->saved_order), &set->archives.data[i]->path);
}

void tov_archive_restore_order(TovArchiveSet* set) {
  for (u32 i = 0; i < set->saved_order.count && i < set->archives.count; ++i) {
    for (u32 j = 0; j < set->archives.count; ++j) {
      if (!zu_string_equal(&set->archives.data[j]->path, set->saved_order.data + i)) continue;
      if (j != i) {
        LoadedArchive* swap = set->archives.data[i];
        set->archives.data[i] = set->archives.data[j];
        set->archives.data[j] = swap;
      }
      break;
    }
  }
  set_first(set);
}

bool tov_archive_describe(const TovArchiveSet* set, u64 index, TovArchiveInfo* out) {
  if (index >= set->archives.count) return false;
  const LoadedArchive* archive = set->archives.data[index];
  *out = {archive->path_text, 0, 0, 0, 0};
  if (archive->size < sizeof(ArchiveHeader)) return true;
  const ArchiveHeader* header = archive_header(archive);
  out->total_size = header->total_size;
  out->type_count = header->type_count;
  // The tables' item counts: every file is in the name table, every folder
  // in the directory table.
  out->file_count = ((const ArchiveHashTable*)archive->names.slots - 1)->item_count;
  out->directory_count = ((const ArchiveHashTable*)archive->directories.slots - 1)->item_count;
  return true;
}
