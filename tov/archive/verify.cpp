// Checks an archive without trusting any of its offsets: everything the
// lookups and the directory index read must lie inside the file and agree
// with the rest. An archive that passes is safe for every lookup.
#include <string.h>

#include "archive/hash_table.h"
#include "archive/names.h"
#include "tov/tov_archive.h"
#include "zu_sys.h"

namespace {

struct Check {
  const u8* base;
  u64 size;
  char* message;
  u64 message_size;
  u64 entry_count;
  u64 entries_end;  // first byte after the entries
  u64 names_end;    // the name table's offset: data and names lie before it
};

template <class T>
T load(const Check* check, u64 offset) {
  T value;
  memcpy((void*)&value, check->base + offset, sizeof(T));
  return value;
}

bool fault(Check* check, u64 offset, const char* what) {
  if (check->message && check->message_size)
    sys_snprintf(check->message, check->message_size, "%s (at offset %llu)", what,
                 (unsigned long long)offset);
  return false;
}

bool range_ok(const Check* check, u64 offset, u64 length) {
  return offset <= check->size && length <= check->size - offset;
}

// The entry offset value names an entry of this archive.
bool is_entry(const Check* check, u64 value) {
  return value >= kArchiveEntriesOffset && value < check->entries_end &&
         (value - kArchiveEntriesOffset) % sizeof(ArchiveEntry) == 0;
}

// A stored table: its slots in range, every item in its bucket, the item
// count right, and every value accepted by valid().
template <class Valid>
bool check_table(Check* check, u64 offset, const char* name, u64* items, Valid valid) {
  if (!range_ok(check, offset, sizeof(ArchiveHashTable))) return fault(check, offset, name);
  ArchiveHashTable table = load<ArchiveHashTable>(check, offset);
  u64 slots_at = offset + sizeof(ArchiveHashTable);
  if (table.slot_count == 0 || table.slot_count % 4 != 0 ||
      table.slot_count > (check->size - slots_at) / sizeof(ArchiveSlot))
    return fault(check, offset, "hash table slot count out of range");
  u64 buckets = table.slot_count / 4;
  u64 used = 0;
  for (u64 i = 0; i < table.slot_count; ++i) {
    u64 at = slots_at + i * sizeof(ArchiveSlot);
    ArchiveSlot slot = load<ArchiveSlot>(check, at);
    if (slot.key == 0) {
      if (slot.value != 0) return fault(check, at, "free hash table slot with a value");
      continue;
    }
    ++used;
    if (slot.key % buckets != i / 4) return fault(check, at, "hash table item outside its bucket");
    if (!valid(slot, at)) return false;
  }
  if (used != table.item_count) return fault(check, offset, "hash table item count wrong");
  *items = used;
  return true;
}

bool check_entry(Check* check, u64 index, u64 type_count, bool content) {
  u64 at = kArchiveEntriesOffset + index * sizeof(ArchiveEntry);
  ArchiveEntry entry = load<ArchiveEntry>(check, at);
  if (entry.archive != 0 || entry.flag != 0) return fault(check, at, "entry field not zero");
  if (entry.type >= type_count) return fault(check, at, "entry type beyond the type count");
  if (entry.data < check->entries_end || !range_ok(check, entry.data, entry.size) ||
      entry.data + entry.size > check->names_end)
    return fault(check, at, "entry data out of range");
  if (entry.name < check->entries_end || entry.name >= check->names_end)
    return fault(check, at, "entry name out of range");
  const char* name = (const char*)check->base + entry.name;
  const void* end = memchr(name, 0, check->names_end - entry.name);
  if (!end) return fault(check, entry.name, "entry name not terminated");
  u64 length = (u64)((const char*)end - name);
  if (length == 0 || !archive_name_is_valid(name))
    return fault(check, entry.name, "entry name with an illegal character");
  if (zu_hash_s(name, length, 0) != entry.name_hash)
    return fault(check, at, "entry name hash does not match its name");
  const u8* data = check->base + entry.data;
  if (content && zu_hash(data, entry.size) != entry.content_hash)
    return fault(check, entry.data, "content hash does not match the data");
  if (entry.type == 6) {  // a string table: every string must end in the data
    if (entry.size < 8) return fault(check, entry.data, "string table too short");
    u64 count = load<u64>(check, entry.data);
    if (count > (entry.size - 8) / 8)
      return fault(check, entry.data, "string table count too large");
    u64 text_at = 8 + count * 8;
    u64 text_size = entry.size - text_at;
    for (u64 i = 0; i < count; ++i) {
      u64 offset = load<u64>(check, entry.data + 8 + i * 8);
      if (offset >= text_size || !memchr(data + text_at + offset, 0, text_size - offset))
        return fault(check, entry.data + 8 + i * 8, "string table string out of range");
    }
  }
  return true;
}

}  // namespace

bool tov_archive_verify(const void* bytes, u64 size, u32 flags, char* message, u64 message_size) {
  Check check = {(const u8*)bytes, size, message, message_size, 0, 0, 0};
  if (message && message_size) message[0] = 0;
  if (size < sizeof(ArchiveHeader)) return fault(&check, 0, "file shorter than the header");
  ArchiveHeader header = load<ArchiveHeader>(&check, 0);
  if (memcmp(header.magic, kArchiveMagic, 4) != 0) return fault(&check, 0, "not a TOV1 archive");
  if (header.header_size != sizeof(ArchiveHeader)) return fault(&check, 4, "header size wrong");
  if (header.total_size != size) return fault(&check, 16, "total size differs from the file's");
  if (header.type_count == 0 || header.type_count > 65536)
    return fault(&check, 40, "type count out of range");
  if (!range_ok(&check, header.name_table, sizeof(ArchiveHashTable)))
    return fault(&check, 24, "name table out of range");
  // Every entry is in the name table, so its item count is the entry count.
  u64 entry_count = load<ArchiveHashTable>(&check, header.name_table).item_count;
  if (entry_count > (size - kArchiveEntriesOffset) / sizeof(ArchiveEntry))
    return fault(&check, header.name_table, "entry count out of range");
  check.entry_count = entry_count;
  check.entries_end = kArchiveEntriesOffset + entry_count * sizeof(ArchiveEntry);
  check.names_end = header.name_table;
  if (check.names_end < check.entries_end)
    return fault(&check, 24, "name table inside the entries");
  bool content = (flags & TOV_VERIFY_CONTENT) != 0;
  bool catalogue_found = false;
  u64 catalogue_hash = zu_hash("all.fileinfo", 12);
  for (u64 i = 0; i < entry_count; ++i) {
    if (!check_entry(&check, i, header.type_count, content)) return false;
    ArchiveEntry entry =
        load<ArchiveEntry>(&check, kArchiveEntriesOffset + i * sizeof(ArchiveEntry));
    if (entry.name_hash != catalogue_hash) continue;
    catalogue_found = true;
    if (entry.size % sizeof(FileInfoRecord) != 0)
      return fault(&check, entry.data, "catalogue size not a multiple of 24");
    for (u64 r = 1; r < entry.size / sizeof(FileInfoRecord); ++r)
      if (load<u64>(&check, entry.data + r * 24) <= load<u64>(&check, entry.data + (r - 1) * 24))
        return fault(&check, entry.data + r * 24, "catalogue records not sorted");
  }
  if (!catalogue_found) return fault(&check, kArchiveEntriesOffset, "no all.fileinfo entry");

  u64 items = 0;
  u64 seen_entries = 0;
  bool ok = check_table(&check, header.name_table, "name table out of range", &items,
                        [&](const ArchiveSlot& slot, u64 at) {
                          if (!is_entry(&check, slot.value))
                            return fault(&check, at, "name table value is no entry");
                          if (load<ArchiveEntry>(&check, slot.value).name_hash != slot.key)
                            return fault(&check, at, "name table key is not its entry's hash");
                          ++seen_entries;
                          return true;
                        });
  if (!ok) return false;
  if (seen_entries != entry_count)
    return fault(&check, header.name_table, "entries missing from the name table");

  u64 block_bytes = header.type_count * sizeof(DirectoryTypeHeader);
  ok = check_table(&check, header.directory_table, "directory table out of range", &items,
                   [&](const ArchiveSlot& slot, u64 at) {
                     u64 block = slot.value;
                     if (block < check.names_end || !range_ok(&check, block, block_bytes))
                       return fault(&check, at, "directory block out of range");
                     for (u64 t = 0; t < header.type_count; ++t) {
                       u64 header_at = block + t * sizeof(DirectoryTypeHeader);
                       DirectoryTypeHeader type = load<DirectoryTypeHeader>(&check, header_at);
                       if (type.count == 0) {
                         if (type.items != kNoItems)
                           return fault(&check, header_at, "empty item list with an offset");
                         continue;
                       }
                       if (type.count > check.entry_count ||
                           !range_ok(&check, type.items, type.count * sizeof(ArchiveItem)))
                         return fault(&check, header_at, "directory item list out of range");
                       u64 previous = 0;
                       for (u64 i = 0; i < type.count; ++i) {
                         u64 item_at = type.items + i * sizeof(ArchiveItem);
                         ArchiveItem item = load<ArchiveItem>(&check, item_at);
                         if (i > 0 && item.key <= previous)
                           return fault(&check, item_at, "directory item list not sorted");
                         previous = item.key;
                         if (!is_entry(&check, item.value))
                           return fault(&check, item_at, "directory item is no entry");
                         ArchiveEntry entry = load<ArchiveEntry>(&check, item.value);
                         if (entry.name_hash != item.key || entry.type != t)
                           return fault(&check, item_at, "directory item does not match its entry");
                       }
                     }
                     return true;
                   });
  if (!ok) return false;
  if (header.directory_table < check.names_end)
    return fault(&check, 32, "directory table inside the data");
  return true;
}
