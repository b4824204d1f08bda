// SPDX-License-Identifier: Zlib
// Listing directories by type: every directory block holds one sorted item
// list per type, so a listing reads only the lists it asks for.
#include "file_access.h"
#include "hash_table.h"
#include "zu_small_array.h"

namespace {

constexpr u64 kTypeCodes = 65536;  // type codes are u16

struct ItemList {
  const ArchiveItem* items;
  u64 count;
};

bool list_holds(const ItemList* list, u64 hash) {
  u64 low = 0, high = list->count;
  while (low < high) {
    u64 mid = low + (high - low) / 2;
    u64 key = list->items[mid].key;
    if (key == hash) return true;
    if (key < hash)
      low = mid + 1;
    else
      high = mid;
  }
  return false;
}

// The offset of the block of the directory with hash; 0 when there is none.
// A slot's value below the entries (a free slot's 0, found by a hash of 0)
// is no block.
u64 directory_block(const LoadedArchive* archive, u64 directory_hash) {
  const ArchiveSlot* slot = archive_hash_table_probe(&archive->directories, directory_hash);
  if (!slot || slot->value < kArchiveEntriesOffset || slot->value > archive->size) return 0;
  return slot->value;
}

// The item list of type in the block at offset, if any.
ItemList directory_list(const LoadedArchive* archive, u64 block, u64 type) {
  ItemList list = {nullptr, 0};
  if (block == 0) return list;
  u64 offset = block + type * sizeof(DirectoryTypeHeader);
  if (offset > archive->size || archive->size - offset < sizeof(DirectoryTypeHeader)) return list;
  const DirectoryTypeHeader* header = (const DirectoryTypeHeader*)(archive->base + offset);
  if (header->count == 0 || header->items > archive->size ||
      (archive->size - header->items) / sizeof(ArchiveItem) < header->count)
    return list;
  list.items = (const ArchiveItem*)(archive->base + header->items);
  list.count = header->count;
  return list;
}

struct Listing {
  const ArchiveView* view;
  u64 directory_count;
  const u8* marks;  // wanted types
  u64 type_limit;
  const u64* blocks;  // per archive, per directory: its block, 0 when none
};

// Whether the name with hash was listed before the list (archive, type,
// directory) in the listing's order: by an earlier directory of the same
// archive and type (a file has one type in an archive), or by an earlier
// archive, under the type the name has there. Each is a lookup, so the cost
// does not grow with the number of lists already listed or of type codes.
bool listed_before(const Listing* listing, u32 archive_index, u64 type, u64 directory, u64 hash) {
  const u64* blocks = listing->blocks + (u64)archive_index * listing->directory_count;
  const LoadedArchive* archive = listing->view->archives[archive_index];
  for (u64 d = 0; d < directory; ++d) {
    ItemList earlier = directory_list(archive, blocks[d], type);
    if (list_holds(&earlier, hash)) return true;
  }
  for (u32 a = 0; a < archive_index; ++a) {
    const LoadedArchive* before = listing->view->archives[a];
    const ArchiveSlot* slot = archive_hash_table_probe(&before->names, hash);
    const ArchiveEntry* entry = slot ? archive_entry_at(before, slot->value) : nullptr;
    if (!entry || entry->type >= listing->type_limit || !listing->marks[entry->type]) continue;
    const u64* before_blocks = listing->blocks + (u64)a * listing->directory_count;
    for (u64 d = 0; d < listing->directory_count; ++d) {
      ItemList list = directory_list(before, before_blocks[d], entry->type);
      if (list_holds(&list, hash)) return true;
    }
  }
  return false;
}

// Whether an archive before archive_index hides the name with hash.
bool hidden_before(const ArchiveView* view, u32 archive_index, u64 hash) {
  for (u32 a = 0; a < archive_index; ++a) {
    const LoadedArchive* before = view->archives[a];
    if (before->hides && archive_hash_table_probe(&before->hidden, hash)) return true;
  }
  return false;
}

u64 index_directories(const TovArchiveSet* set, const char* const* directories, u64 directory_count,
                      const u64* types, u64 type_count, TovFileInfo* out, u64 capacity,
                      bool dupes) {
  // One view for the whole listing, as for a batch of lookups.
  const ArchiveView* view = archive_set_view(set);
  u64 type_limit = 0;
  for (u32 a = 0; a < view->count; ++a) {
    const LoadedArchive* archive = view->archives[a];
    if (archive->size < sizeof(ArchiveHeader)) continue;
    u64 count = archive_header(archive)->type_count;
    if (count > type_limit && count <= kTypeCodes) type_limit = count;
  }
  ZuSmallArray<u8, 1024> wanted;
  zu_small_array_init(&wanted);
  zu_small_array_reserve(&wanted, type_limit);
  u8* marks = zu_small_array_data(&wanted);
  memset(marks, 0, type_limit);
  for (u64 i = 0; i < type_count; ++i) {
    if (types[i] == 0) {
      memset(marks, 1, type_limit);
      break;
    }
    if (types[i] < type_limit) marks[types[i]] = 1;
  }
  // Each directory's block in each archive, found once.
  ZuSmallArray<u64, 128> blocks;
  zu_small_array_init(&blocks);
  zu_small_array_reserve(&blocks, (u64)view->count * directory_count);
  for (u64 d = 0; d < directory_count; ++d) {
    u64 hash = zu_hash_s(directories[d], strlen(directories[d]), 0);
    for (u32 a = 0; a < view->count; ++a) {
      zu_small_array_data(&blocks)[(u64)a * directory_count + d] =
          directory_block(view->archives[a], hash);
    }
  }
  Listing listing = {view, directory_count, marks, type_limit, zu_small_array_data(&blocks)};

  u64 result = 0;
  u64 written = 0;
  for (u32 a = 0; a < view->count; ++a) {
    const LoadedArchive* archive = view->archives[a];
    if (archive->size < sizeof(ArchiveHeader)) continue;
    u64 archive_types = archive_header(archive)->type_count;
    const u64* archive_blocks = listing.blocks + (u64)a * directory_count;
    for (u64 t = 0; t < archive_types && t < type_limit; ++t) {
      if (!marks[t]) continue;
      for (u64 d = 0; d < directory_count; ++d) {
        ItemList list = directory_list(archive, archive_blocks[d], t);
        for (u64 i = 0; i < list.count; ++i) {
          // An item that names no entry is no file: not counted either.
          const ArchiveEntry* entry = archive_entry_at(archive, list.items[i].value);
          if (!entry) continue;
          // A name an archive before this one hides (a deleted source) is
          // no file of the set, with dupes or without.
          if (a && view->any_hides && hidden_before(view, a, list.items[i].key)) continue;
          // Nothing is listed before the first directory of the first archive.
          if (!dupes && (a | d) && listed_before(&listing, a, t, d, list.items[i].key)) continue;
          ++result;
          if (out && written < capacity) archive_file_info(archive, entry, out + written++);
        }
      }
    }
  }
  zu_small_array_destroy(&blocks);
  zu_small_array_destroy(&wanted);
  return result;
}

}  // namespace

u64 tov_archive_index_directories_n(const TovArchiveSet* set, const char* const* directories,
                                    u64 directory_count, const u64* types, u64 type_count,
                                    TovFileInfo* out, u64 capacity) {
  return index_directories(set, directories, directory_count, types, type_count, out, capacity,
                           false);
}

u64 tov_archive_index_directories_with_dupes_n(const TovArchiveSet* set,
                                               const char* const* directories, u64 directory_count,
                                               const u64* types, u64 type_count, TovFileInfo* out,
                                               u64 capacity) {
  return index_directories(set, directories, directory_count, types, type_count, out, capacity,
                           true);
}

u64 tov_archive_index_directory(const TovArchiveSet* set, const char* directory, u64 type,
                                TovFileInfo* out, u64 capacity) {
  return index_directories(set, &directory, 1, &type, 1, out, capacity, false);
}

u64 tov_archive_index_directory_n(const TovArchiveSet* set, const char* directory, const u64* types,
                                  u64 type_count, TovFileInfo* out, u64 capacity) {
  return index_directories(set, &directory, 1, types, type_count, out, capacity, false);
}

u64 tov_archive_index_directories(const TovArchiveSet* set, const char* const* directories,
                                  u64 directory_count, u64 type, TovFileInfo* out, u64 capacity) {
  return index_directories(set, directories, directory_count, &type, 1, out, capacity, false);
}

u64 tov_archive_index_directory_with_dupes(const TovArchiveSet* set, const char* directory,
                                           u64 type, TovFileInfo* out, u64 capacity) {
  return index_directories(set, &directory, 1, &type, 1, out, capacity, true);
}

u64 tov_archive_index_directory_with_dupes_n(const TovArchiveSet* set, const char* directory,
                                             const u64* types, u64 type_count, TovFileInfo* out,
                                             u64 capacity) {
  return index_directories(set, &directory, 1, types, type_count, out, capacity, true);
}

u64 tov_archive_index_directories_with_dupes(const TovArchiveSet* set,
                                             const char* const* directories, u64 directory_count,
                                             u64 type, TovFileInfo* out, u64 capacity) {
  return index_directories(set, directories, directory_count, &type, 1, out, capacity, true);
}
