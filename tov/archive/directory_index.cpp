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

// The item list of type in the block of the directory with hash, if any.
ItemList directory_list(const LoadedArchive* archive, u64 directory_hash, u64 type) {
  ItemList list = {nullptr, 0};
  const ArchiveSlot* slot = archive_hash_table_probe(&archive->directories, directory_hash);
  if (!slot || slot->value > archive->size) return list;
  u64 offset = slot->value + type * sizeof(DirectoryTypeHeader);
  if (offset > archive->size || archive->size - offset < sizeof(DirectoryTypeHeader)) return list;
  const DirectoryTypeHeader* header = (const DirectoryTypeHeader*)(archive->base + offset);
  if (header->count == 0 || header->items > archive->size ||
      (archive->size - header->items) / sizeof(ArchiveItem) < header->count)
    return list;
  list.items = (const ArchiveItem*)(archive->base + header->items);
  list.count = header->count;
  return list;
}

u64 index_directories(const TovArchiveSet* set, const char* const* directories, u64 directory_count,
                      const u64* types, u64 type_count, TovFileInfo* out, u64 capacity,
                      bool dupes) {
  u64 type_limit = 0;
  for (u32 a = 0; a < set->archives.count; ++a) {
    const LoadedArchive* archive = set->archives.data[a];
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
  ZuSmallArray<u64, 128> hashes;
  zu_small_array_init(&hashes);
  for (u64 d = 0; d < directory_count; ++d)
    zu_small_array_push(&hashes, zu_hash_s(directories[d], strlen(directories[d]), 0));
  ZuSmallArray<ItemList, 128> accepted;
  zu_small_array_init(&accepted);

  u64 result = 0;
  u64 written = 0;
  for (u32 a = 0; a < set->archives.count; ++a) {
    const LoadedArchive* archive = set->archives.data[a];
    if (archive->size < sizeof(ArchiveHeader)) continue;
    u64 archive_types = archive_header(archive)->type_count;
    for (u64 t = 0; t < archive_types && t < type_limit; ++t) {
      if (!marks[t]) continue;
      for (u64 d = 0; d < directory_count; ++d) {
        ItemList list = directory_list(archive, zu_small_array_data(&hashes)[d], t);
        if (list.count == 0) continue;
        u64 fresh = 0;
        for (u64 i = 0; i < list.count; ++i) {
          if (!dupes) {
            bool seen = false;
            const ItemList* before = zu_small_array_data(&accepted);
            for (u32 k = 0; k < zu_small_array_count(&accepted) && !seen; ++k)
              seen = list_holds(before + k, list.items[i].key);
            if (seen) continue;
          }
          ++fresh;
          if (!out || written >= capacity) continue;
          const ArchiveEntry* entry = archive_entry_at(archive, list.items[i].value);
          if (!entry) continue;
          archive_file_info(archive, entry, out + written++);
        }
        result += fresh;
        if (!dupes && fresh > 0) zu_small_array_push(&accepted, list);
      }
    }
  }
  zu_small_array_destroy(&accepted);
  zu_small_array_destroy(&hashes);
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
