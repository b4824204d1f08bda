// SPDX-License-Identifier: Zlib
// Checks an archive without trusting any of its offsets: everything the
// lookups and the directory index read must lie inside the file and agree
// with the rest. An archive that passes is safe for every lookup.
//
// Every section must lie where the packer puts it (data and names back to
// back in entry order, directory blocks one after another between the two
// tables, item lists right after their block's type headers), so each byte
// is read a bounded number of times: a crafted file cannot make the check
// read one long name or one large block again for every entry or slot.
#include <string.h>

#include "archive/hash_table.h"
#include "archive/names.h"
#include "zu_array.h"
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
  u64 data_next;    // where the next entry's data must begin
  u64 name_next;    // where the next entry's name must begin
};

template <class T>
T load(const Check* check, u64 offset) {
  return archive_load<T>(check->base, offset);
}

bool fault(Check* check, u64 offset, const char* what) {
  if (check->message && check->message_size)
    sys_snprintf(check->message, check->message_size, "%s (at offset %llu)", what,
                 (unsigned long long)offset);
  return false;
}

bool range_ok(const Check* check, u64 offset, u64 length) {
  return archive_range_ok(check->size, offset, length);
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

// Where a string table's last 0 byte lies within its data, so every string
// that starts at or before it ends inside: one pass, whatever the count.
// Data of type 6 too short for its count is no string table, and the
// runtime says so (tov_access_stringtable): the packer packs such files as
// they are, so they are no fault here.
bool check_string_table(Check* check, const ArchiveEntry& entry) {
  const u8* data = check->base + entry.data;
  if (entry.size < 8) return true;
  u64 count = load<u64>(check, entry.data);
  if (count > (entry.size - 8) / 8) return true;
  u64 text_at = 8 + count * 8;
  u64 last_end = ~0ull;  // none
  for (u64 i = entry.size; i > text_at; --i)
    if (data[i - 1] == 0) {
      last_end = i - 1 - text_at;
      break;
    }
  for (u64 i = 0; i < count; ++i) {
    u64 offset = load<u64>(check, entry.data + 8 + i * 8);
    if (last_end == ~0ull || offset > last_end)
      return fault(check, entry.data + 8 + i * 8, "string table string out of range");
  }
  return true;
}

bool check_entry(Check* check, u64 index, u64 type_count, bool content) {
  u64 at = kArchiveEntriesOffset + index * sizeof(ArchiveEntry);
  ArchiveEntry entry = load<ArchiveEntry>(check, at);
  if (entry.archive != 0 || entry.flag != 0) return fault(check, at, "entry field not zero");
  if (entry.type >= type_count) return fault(check, at, "entry type beyond the type count");
  if (entry.data != check->data_next || !range_ok(check, entry.data, entry.size) ||
      entry.data + entry.size > check->names_end)
    return fault(check, at, "entry data out of range");
  check->data_next = entry.data + entry.size;
  // The names follow the data of the last entry; each name follows the one
  // before it. The first entry's name tells where the data ends.
  if (index == 0) check->name_next = entry.name;
  if (entry.name != check->name_next || entry.name < check->entries_end ||
      entry.name >= check->names_end)
    return fault(check, at, "entry name out of range");
  const char* name = (const char*)check->base + entry.name;
  const void* end = memchr(name, 0, check->names_end - entry.name);
  if (!end) return fault(check, entry.name, "entry name not terminated");
  u64 length = (u64)((const char*)end - name);
  check->name_next = entry.name + length + 1;
  if (length == 0 || !archive_name_is_valid(name))
    return fault(check, entry.name, "entry name with an illegal character");
  if (zu_hash_s(name, length, 0) != entry.name_hash)
    return fault(check, at, "entry name hash does not match its name");
  const u8* data = check->base + entry.data;
  if (content && zu_hash(data, entry.size) != entry.content_hash)
    return fault(check, entry.data, "content hash does not match the data");
  if (entry.type == 6 && !check_string_table(check, entry)) return false;
  return true;
}

// The directory blocks, walked in file order from start to end: each holds
// type_count headers, then its non-empty item lists in type order. Fills
// starts with every block's offset, ascending.
bool check_blocks(Check* check, u64 start, u64 end, u64 type_count, ZuArray<u64>* starts) {
  u64 header_bytes = type_count * sizeof(DirectoryTypeHeader);
  u64 at = start;
  while (at < end) {
    if (!range_ok(check, at, header_bytes) || at + header_bytes > end)
      return fault(check, at, "directory block out of range");
    zu_array_push(starts, at);
    u64 next = at + header_bytes;
    for (u64 t = 0; t < type_count; ++t) {
      u64 header_at = at + t * sizeof(DirectoryTypeHeader);
      DirectoryTypeHeader type = load<DirectoryTypeHeader>(check, header_at);
      if (type.count == 0) {
        if (type.items != kNoItems) return fault(check, header_at, "empty item list with an offset");
        continue;
      }
      if (type.items != next || type.count > check->entry_count ||
          type.count * sizeof(ArchiveItem) > end - next)
        return fault(check, header_at, "directory item list out of range");
      u64 previous = 0;
      for (u64 i = 0; i < type.count; ++i) {
        u64 item_at = type.items + i * sizeof(ArchiveItem);
        ArchiveItem item = load<ArchiveItem>(check, item_at);
        if (i > 0 && item.key <= previous)
          return fault(check, item_at, "directory item list not sorted");
        previous = item.key;
        if (!is_entry(check, item.value)) return fault(check, item_at, "directory item is no entry");
        ArchiveEntry entry = load<ArchiveEntry>(check, item.value);
        if (entry.name_hash != item.key || entry.type != t)
          return fault(check, item_at, "directory item does not match its entry");
      }
      next += type.count * sizeof(ArchiveItem);
    }
    at = next;
  }
  return true;
}

bool is_block_start(const ZuArray<u64>* starts, u64 offset) {
  u64 low = 0, high = starts->count;
  while (low < high) {
    u64 mid = low + (high - low) / 2;
    if (starts->data[mid] == offset) return true;
    if (starts->data[mid] < offset)
      low = mid + 1;
    else
      high = mid;
  }
  return false;
}

// The names an archive hides ("all.deleted"): its table inside the member,
// every slot's name inside it too, valid, and hashing to its key.
bool check_hidden_names(Check* check, const ArchiveEntry& entry) {
  if (entry.size < sizeof(HiddenNames)) return fault(check, entry.data, "all.deleted too short");
  HiddenNames hidden = load<HiddenNames>(check, entry.data);
  u64 slots_at = entry.data + sizeof(HiddenNames);
  u64 end = entry.data + entry.size;
  if (hidden.table.slot_count == 0 || hidden.table.slot_count % 4 != 0 ||
      hidden.table.slot_count > (end - slots_at) / sizeof(ArchiveSlot))
    return fault(check, entry.data, "all.deleted table out of range");
  u64 buckets = hidden.table.slot_count / 4, used = 0;
  for (u64 i = 0; i < hidden.table.slot_count; ++i) {
    u64 at = slots_at + i * sizeof(ArchiveSlot);
    ArchiveSlot slot = load<ArchiveSlot>(check, at);
    if (slot.key == 0) continue;
    ++used;
    if (slot.key % buckets != i / 4) return fault(check, at, "hash table item outside its bucket");
    u64 name_at = entry.data + slot.value;
    const char* name = (const char*)check->base + name_at;
    const void* name_end = slot.value < entry.size ? memchr(name, 0, end - name_at) : nullptr;
    if (!name_end || !archive_name_is_valid(name) ||
        zu_hash_s(name, (u64)((const char*)name_end - name), 0) != slot.key)
      return fault(check, at, "all.deleted name out of range or not its key's");
  }
  if (used != hidden.table.item_count)
    return fault(check, entry.data, "hash table item count wrong");
  return true;
}

}  // namespace

bool tov_archive_verify(const void* bytes, u64 size, u32 flags, char* message, u64 message_size) {
  Check check = {(const u8*)bytes, size, message, message_size, 0, 0, 0, 0, 0};
  if (message && message_size) message[0] = 0;
  if (size < sizeof(ArchiveHeader)) return fault(&check, 0, "file shorter than the header");
  ArchiveHeader header = load<ArchiveHeader>(&check, 0);
  if (memcmp(header.magic, kArchiveMagic, 4) != 0) return fault(&check, 0, "not a TOV1 archive");
  if (header.header_size != sizeof(ArchiveHeader)) return fault(&check, 4, "header size wrong");
  if (header.total_size != size) return fault(&check, 16, "total size differs from the file's");
  if (header.flags & ~(kArchiveHidesNames | kArchiveHasOverlay))
    return fault(&check, 12, "header flags unknown");
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
  check.data_next = check.entries_end;
  bool content = (flags & TOV_VERIFY_CONTENT) != 0;
  bool catalogue_found = false, hidden_found = false;
  u64 catalogue_hash = zu_hash(kCatalogueMember, sizeof(kCatalogueMember) - 1);
  u64 hidden_hash = zu_hash(kHiddenNamesMember, sizeof(kHiddenNamesMember) - 1);
  for (u64 i = 0; i < entry_count; ++i) {
    if (!check_entry(&check, i, header.type_count, content)) return false;
    ArchiveEntry entry =
        load<ArchiveEntry>(&check, kArchiveEntriesOffset + i * sizeof(ArchiveEntry));
    if (entry.name_hash == hidden_hash && (header.flags & kArchiveHidesNames)) {
      if (!check_hidden_names(&check, entry)) return false;
      hidden_found = true;
    }
    if (entry.name_hash != catalogue_hash) continue;
    catalogue_found = true;
    if (entry.size % sizeof(FileInfoRecord) != 0)
      return fault(&check, entry.data, "catalogue size not a multiple of 24");
    for (u64 r = 1; r < entry.size / sizeof(FileInfoRecord); ++r)
      if (load<u64>(&check, entry.data + r * 24) <= load<u64>(&check, entry.data + (r - 1) * 24))
        return fault(&check, entry.data + r * 24, "catalogue records not sorted");
  }
  if (!catalogue_found) return fault(&check, kArchiveEntriesOffset, "no all.fileinfo entry");
  if ((header.flags & kArchiveHidesNames) && !hidden_found)
    return fault(&check, 12, "flagged to hide names, but no all.deleted entry");
  if (check.name_next != check.names_end)
    return fault(&check, check.name_next, "names do not end at the name table");

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

  // The directory blocks lie between the name table's slots and the
  // directory table; every directory's value is the start of one of them.
  u64 slot_count = load<ArchiveHashTable>(&check, header.name_table).slot_count;
  u64 blocks_start = header.name_table + sizeof(ArchiveHashTable) + slot_count * sizeof(ArchiveSlot);
  if (header.directory_table < blocks_start)
    return fault(&check, 32, "directory table inside the name table");
  ZuArray<u64> starts = {};
  ok = check_blocks(&check, blocks_start, header.directory_table, header.type_count, &starts) &&
       check_table(&check, header.directory_table, "directory table out of range", &items,
                   [&](const ArchiveSlot& slot, u64 at) {
                     if (!is_block_start(&starts, slot.value))
                       return fault(&check, at, "directory block out of range");
                     return true;
                   });
  zu_array_destroy(&starts);
  if (!ok) return false;
  u64 directory_slots = load<ArchiveHashTable>(&check, header.directory_table).slot_count;
  if (header.directory_table + sizeof(ArchiveHashTable) + directory_slots * sizeof(ArchiveSlot) !=
      size)
    return fault(&check, 32, "directory table does not end the file");
  return true;
}
