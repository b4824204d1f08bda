// SPDX-License-Identifier: Zlib
// Writing an archive: every member's bytes back to back in the given order,
// then the names, the name table, the directory blocks and the directory
// table, and the header and entries last, at the front.
#include "pack_writer.h"

#include "archive/hash_table.h"
#include "invocations.h"
#include "pack_members.h"
#include "zu_sort.h"

namespace {

struct Directory {
  u64 hash;                     // zu_hash_s of the name: the directory table's key
  ZuArray<ArchiveItem>* lists;  // one item list per type
};

// Directories in order of first appearance, found by hash.
struct Directories {
  ZuArray<Directory> list;
  ZuArray<u64> map;  // open addressing: index + 1 per slot, 0 free
  u64 type_count;
};

void directories_grow_map(Directories* dirs) {
  u64 size = dirs->map.count ? (u64)dirs->map.count * 2 : 64;
  zu_array_resize(&dirs->map, 0);
  zu_array_resize(&dirs->map, size);
  for (u32 i = 0; i < dirs->list.count; ++i) {
    u64 at = dirs->list.data[i].hash & (size - 1);
    while (dirs->map.data[at]) at = (at + 1) & (size - 1);
    dirs->map.data[at] = i + 1;
  }
}

Directory* directory_of(Directories* dirs, const char* name, u64 length) {
  u64 hash = zu_hash_s(name, length, 0);
  if ((u64)(dirs->list.count + 1) * 2 > dirs->map.count) directories_grow_map(dirs);
  u64 mask = dirs->map.count - 1;
  u64 at = hash & mask;
  for (; dirs->map.data[at]; at = (at + 1) & mask)
    if (dirs->list.data[dirs->map.data[at] - 1].hash == hash)
      return dirs->list.data + dirs->map.data[at] - 1;
  Directory* directory = zu_array_push_zeroed(&dirs->list);
  directory->hash = hash;
  directory->lists =
      (ZuArray<ArchiveItem>*)sys_malloc(dirs->type_count * sizeof(ZuArray<ArchiveItem>));
  memset((void*)directory->lists, 0, dirs->type_count * sizeof(ZuArray<ArchiveItem>));
  dirs->map.data[at] = dirs->list.count;
  return directory;
}

void write_checked(ZuFile* file, const void* data, u64 size, const char* path) {
  if (filesystem_file_write(file, data, size) != size)
    sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?)", path);
}

// Returns the bytes written.
u64 write_table(ZuFile* file, const ZuArray<ArchiveItem>* items, const char* path) {
  ZuArray<ArchiveSlot> slots = {};
  archive_hash_table_build(items->data, items->count, &slots);
  ArchiveHashTable header = {items->count, slots.count};
  write_checked(file, &header, sizeof(header), path);
  u64 size = (u64)slots.count * sizeof(ArchiveSlot);
  write_checked(file, slots.data, size, path);
  zu_array_destroy(&slots);
  return sizeof(header) + size;
}

u64 item_key(const ArchiveItem* item) { return item->key; }

}  // namespace

void pack_write(ZuFile* out, const char* out_path, const CommandContext* context,
                const PackInput* inputs, u32 count, const ZuArray<FileInfoRecord>* catalogue,
                const ZuArray<FileInfoRecord>* packed_catalogue, u32 header_flags) {
  u64 type_count = 0;
  for (u32 i = 0; i < count; ++i)
    if (inputs[i].type + 1u > type_count) type_count = inputs[i].type + 1u;
  ArchiveEntry* entries = (ArchiveEntry*)sys_malloc((u64)count * sizeof(ArchiveEntry) + 1);
  memset((void*)entries, 0, (u64)count * sizeof(ArchiveEntry));
  u64 offset = kArchiveEntriesOffset + (u64)count * sizeof(ArchiveEntry);
  if (!filesystem_file_seek(out, offset))
    sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?)", out_path);

  ZuArray<char> names = {};
  ZuArray<ArchiveItem>* by_type =
      (ZuArray<ArchiveItem>*)sys_malloc(type_count * sizeof(ZuArray<ArchiveItem>) + 1);
  memset((void*)by_type, 0, type_count * sizeof(ZuArray<ArchiveItem>));
  Directories dirs = {};
  dirs.type_count = type_count;
  directory_of(&dirs, "", 0);  // the root comes first
  u64 catalogue_hash = zu_hash("all.fileinfo", 12);
  // Members open on a thread of their own while each is copied, in order,
  // to the end of the data so far; the catalogue's bytes go in at the end.
  const char** member_paths = (const char**)sys_malloc((u64)count * sizeof(const char*) + 1);
  for (u32 i = 0; i < count; ++i) {
    const PackInput* input = inputs + i;
    member_paths[i] = input->bytes || zu_hash(input->name, strlen(input->name)) == catalogue_hash
                          ? nullptr
                          : input->path;
  }
  PackOpener* opener = pack_opener_create(member_paths, count);
  // Small members go out together, a megabyte at a time: one write of many
  // pages costs the file system far less than a copy per member.
  constexpr u64 kStaged = 1u << 20;
  ZuArray<u8> staged = {};
  zu_array_reserve(&staged, kStaged);
  auto flush_staged = [&](u64 end) {
    if (staged.count == 0) return;
    if (filesystem_file_write_at(out, end - staged.count, staged.data, staged.count) !=
        staged.count) {
      pack_opener_destroy(opener);
      sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?)", out_path);
    }
    staged.count = 0;
  };
  u64 catalogue_at = kNoItems;
  for (u32 i = 0; i < count; ++i) {
    const PackInput* input = inputs + i;
    ArchiveEntry* entry = entries + i;
    u64 name_length = strlen(input->name);
    entry->name_hash = zu_hash_s(input->name, name_length, 0);
    entry->type = input->type;
    entry->data = offset;
    if (member_paths[i]) {
      PackMember member;
      if (!pack_opener_take(opener, i, &member)) {
        pack_opener_destroy(opener);
        command_check_inputs(context);
        sys_exit(-1, "Unable to open '%s' for reading", input->name);
      }
      const FileInfoRecord* record = zu_binary_search(catalogue, entry->name_hash);
      if (!record) {
        pack_opener_destroy(opener);
        sys_exit(-1,
                 "All files that are packed into archive must be registered in the '.fileinfo' "
                 "file, no entry found for '%s'",
                 input->name);
      }
      u64 size = member.size, copied = size;
      if (member.file) {
        flush_staged(offset);
        copied = filesystem_file_copy_at(out, offset, member.file, size);
      } else {
        if (staged.count + size > kStaged) flush_staged(offset);
        zu_array_append(&staged, member.bytes, size);
      }
      pack_opener_release(opener, i);
      if (copied != size) {
        pack_opener_destroy(opener);
        if (filesystem_file_failed(out))
          sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?)", out_path);
        sys_exit(-1, "ERROR: '%s' changed while it was packed", input->name);
      }
      entry->size = size;
      entry->content_hash = record->content_hash;
    } else if (input->bytes) {
      if (staged.count + input->size > kStaged) flush_staged(offset);
      zu_array_append(&staged, (const u8*)input->bytes, input->size);
      entry->size = input->size;
      entry->content_hash = zu_hash(input->bytes, input->size);
    } else {
      flush_staged(offset);
      entry->size = (u64)packed_catalogue->count * sizeof(FileInfoRecord);
      entry->content_hash = zu_hash(packed_catalogue->data, entry->size);
      catalogue_at = offset;
    }
    offset += entry->size;
    entry->name = names.count;
    zu_array_append(&names, input->name, name_length + 1);
    ArchiveItem item = {entry->name_hash, kArchiveEntriesOffset + (u64)i * sizeof(ArchiveEntry)};
    zu_array_push(by_type + entry->type, item);
    zu_array_push(directory_of(&dirs, "", 0)->lists + entry->type, item);
    for (const char* slash = sys_strchr(input->name, '/'); slash;
         slash = sys_strchr(slash + 1, '/'))
      zu_array_push(
          directory_of(&dirs, input->name, (u64)(slash - input->name) + 1)->lists + entry->type,
          item);
  }
  flush_staged(offset);
  zu_array_destroy(&staged);
  pack_opener_destroy(opener);
  sys_free(member_paths);
  if (catalogue_at != kNoItems) {
    if (!filesystem_file_seek(out, catalogue_at))
      sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?)", out_path);
    write_checked(out, packed_catalogue->data,
                  (u64)packed_catalogue->count * sizeof(FileInfoRecord), out_path);
  }
  if (!filesystem_file_seek(out, offset))
    sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?)", out_path);
  for (u32 i = 0; i < count; ++i) entries[i].name += offset;
  write_checked(out, names.data, names.count, out_path);
  offset += names.count;

  // Two inputs with one name would make the name table ambiguous.
  ZuArray<ArchiveItem> name_items = {};
  for (u64 t = 0; t < type_count; ++t)
    for (u32 i = 0; i < by_type[t].count; ++i) zu_array_push(&name_items, by_type[t].data[i]);
  {
    ZuArray<ArchiveItem> sorted = {};
    zu_array_assign(&sorted, &name_items);
    zu_sort_array(&sorted);
    for (u32 i = 1; i < sorted.count; ++i)
      if (sorted.data[i].key == sorted.data[i - 1].key)
        sys_exit(-1, "ERROR: Two files packed into '%s' have the same name (hash %lx)", out_path,
                 (unsigned long)sorted.data[i].key);
    zu_array_destroy(&sorted);
  }
  u64 name_table = offset;
  offset += write_table(out, &name_items, out_path);

  ZuArray<ArchiveItem> directory_items = {};
  for (u32 d = 0; d < dirs.list.count; ++d) {
    Directory* directory = dirs.list.data + d;
    zu_array_push(&directory_items, ArchiveItem{directory->hash, offset});
    u64 items_at = offset + type_count * sizeof(DirectoryTypeHeader);
    for (u64 t = 0; t < type_count; ++t) {
      ZuArray<ArchiveItem>* list = directory->lists + t;
      if (list->count > 1) zu_sort_by(list->data, list->data + list->count - 1, item_key);
      DirectoryTypeHeader header = {list->count, list->count ? items_at : kNoItems};
      write_checked(out, &header, sizeof(header), out_path);
      items_at += (u64)list->count * sizeof(ArchiveItem);
    }
    for (u64 t = 0; t < type_count; ++t) {
      ZuArray<ArchiveItem>* list = directory->lists + t;
      write_checked(out, list->data, (u64)list->count * sizeof(ArchiveItem), out_path);
      zu_array_destroy(list);
    }
    offset = items_at;
    sys_free(directory->lists);
  }
  u64 directory_table = offset;
  offset += write_table(out, &directory_items, out_path);

  ArchiveHeader header = {};
  memcpy(header.magic, kArchiveMagic, sizeof(header.magic));
  header.header_size = sizeof(ArchiveHeader);
  header.version = kArchiveVersion;
  header.total_size = offset;
  header.name_table = name_table;
  header.directory_table = directory_table;
  header.type_count = type_count;
  header.flags = header_flags;
  if (!filesystem_file_seek(out, 0))
    sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?)", out_path);
  write_checked(out, &header, sizeof(header), out_path);
  write_checked(out, entries, (u64)count * sizeof(ArchiveEntry), out_path);
  if (!filesystem_file_destroy(out))
    sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?)", out_path);
  sys_printf("Wrote '%s'...\n", out_path);

  zu_array_destroy(&directory_items);
  zu_array_destroy(&name_items);
  for (u64 t = 0; t < type_count; ++t) zu_array_destroy(by_type + t);
  sys_free(by_type);
  zu_array_destroy(&dirs.list);
  zu_array_destroy(&dirs.map);
  zu_array_destroy(&names);
  sys_free(entries);
}
