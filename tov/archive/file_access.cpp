#include "file_access.h"

#include "hash_table.h"

namespace {

// The entry whose name has hash in one archive. The 64-bit hash is trusted
// (see tov_archive.h): the name text is not compared.
const ArchiveEntry* find_entry(const LoadedArchive* archive, u64 hash) {
  const ArchiveSlot* slot =
      archive_hash_table_probe(archive->name_slots, archive->name_slot_count, hash);
  return slot ? archive_entry_at(archive, slot->value) : nullptr;
}

// Looks up count names or hashes; the general form of every access call.
template <class Hash, class Name>
u64 access(const TovArchiveSet* set, u64 count, Hash hash_of, Name name_of, TovFileInfo* out,
           u64 capacity) {
  u64 found = 0;
  for (u64 i = 0; i < count; ++i) {
    const char* name = name_of(i);
    u64 hash = name ? zu_hash_s(name, strlen(name), 0) : hash_of(i);
    for (u32 a = 0; a < set->archives.count; ++a) {
      const LoadedArchive* archive = set->archives.data[a];
      const ArchiveEntry* entry = find_entry(archive, hash);
      if (!entry) continue;
      if (out && found < capacity) archive_file_info(archive, entry, out + found);
      ++found;
      break;
    }
  }
  return found;
}

}  // namespace

void archive_file_info(const LoadedArchive* archive, const ArchiveEntry* entry, TovFileInfo* out) {
  out->name = (const char*)archive->base + entry->name;
  out->archive = zu_string_text(&archive->path);
  out->hash = entry->name_hash;
  out->type = entry->type;
  out->flag = entry->flag;
  memcpy(out->reserved, entry->reserved, sizeof(out->reserved));
  out->checksum = entry->content_hash;
  out->size = entry->size;
  out->data = archive->base + entry->data;
}

u64 tov_archive_access_files(const TovArchiveSet* set, const char* const* names, u64 count,
                             TovFileInfo* out, u64 capacity) {
  return access(
      set, count, [](u64) { return (u64)0; }, [&](u64 i) { return names[i]; }, out, capacity);
}

u64 tov_archive_access_files_by_hash_stride(const TovArchiveSet* set, const u64* first, u64 count,
                                            u64 stride, TovFileInfo* out, u64 capacity) {
  return access(
      set, count,
      [&](u64 i) {
        u64 hash;
        memcpy(&hash, (const u8*)first + i * stride, sizeof(hash));
        return hash;
      },
      [](u64) { return (const char*)nullptr; }, out, capacity);
}

u64 tov_archive_access_files_by_hash(const TovArchiveSet* set, const u64* hashes, u64 count,
                                     TovFileInfo* out, u64 capacity) {
  return tov_archive_access_files_by_hash_stride(set, hashes, count, sizeof(u64), out, capacity);
}

bool tov_archive_access_file(const TovArchiveSet* set, const char* name, TovFileInfo* out) {
  return tov_archive_access_files(set, &name, 1, out, 1) == 1;
}

bool tov_archive_access_file_by_hash(const TovArchiveSet* set, u64 hash, TovFileInfo* out) {
  return tov_archive_access_files_by_hash_stride(set, &hash, 1, sizeof(u64), out, 1) == 1;
}

bool tov_access_stringtable(const TovFileInfo* info, TovStringTable* table) {
  if (info->type != 6 || info->size < sizeof(u64)) return false;
  const u8* data = (const u8*)info->data;
  u64 count;
  memcpy(&count, data, sizeof(count));
  if (count > (info->size - sizeof(u64)) / sizeof(u64)) return false;  // not a string table
  if (count == 0) {
    *table = {0, nullptr, nullptr};
  } else {
    *table = {count, (const TovUnalignedU64*)(data + sizeof(u64)),
              (const char*)(data + sizeof(u64) + count * sizeof(u64))};
  }
  return true;
}

bool tov_archive_access_stringtable(const TovArchiveSet* set, const char* name,
                                    TovStringTable* table, TovFileInfo* info) {
  TovFileInfo found;
  if (!tov_archive_access_file(set, name, &found)) return false;
  if (info) *info = found;
  return tov_access_stringtable(&found, table);
}
