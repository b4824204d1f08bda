// SPDX-License-Identifier: Zlib
// The "tov" command: packs the build's files into one archive, whole or
// as a patch that leaves out what an earlier archive already holds.
#include "archive/format.h"
#include "archive/hash_table.h"
#include "archive/names.h"
#include "archive/verify_file.h"
#include "command_option.h"
#include "invocations.h"
#include "log.h"
#include "pack_members.h"
#include "tov/tov_archive.h"
#include "zu_sort.h"

ZU_COMMAND_OPTION(g_tov_types, 0, "tov-types", "Defines types when building archives", kOptionMany,
                  kOptionUint);
ZU_COMMAND_OPTION(g_ignore_files_in_archives, 0, "tov-ignore-files-in-archives",
                  "When building archive, omit identical files found in archives given",
                  kOptionMany, kOptionString);
ZU_COMMAND_OPTION(g_only_include_files_with_ending, 0, "tov-only-include-files-with-ending",
                  "When building archive, only include files with these file endings(s)",
                  kOptionMany, kOptionString);

namespace {

struct Included {
  const char* path;
  const char* name;
  u16 type;
};

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

// Chooses the inputs a patch holds: files new or changed against the
// ignored archive's catalogue, and only those with the given endings.
void select_filtered(const CommandContext* context, const Included* inputs,
                     const ZuArray<FileInfoRecord>* catalogue, ZuArray<Included>* included,
                     ZuArray<FileInfoRecord>* kept) {
  TOV_LOG("BEGIN LISTING FILES INCLUDED IN ARCHIVE\n");
  u64 ending_count = command_option_count(&g_only_include_files_with_ending);
  if (ending_count) {
    TOV_LOG("Only including files with the following endings:\n");
    for (u64 i = 0; i < ending_count; ++i)
      TOV_LOG("%s\n", zu_string_text(command_option_value(&g_only_include_files_with_ending, i)));
  }
  ZuArray<FileInfoRecord> compared = {};
  TovArchiveSet* ignored = nullptr;
  u64 ignore_count = command_option_count(&g_ignore_files_in_archives);
  for (u64 i = 0; i < ignore_count; ++i) {
    const char* path = zu_string_text(command_option_value(&g_ignore_files_in_archives, i));
    if (filesystem_same_file(path, context->outputs[0].path))
      sys_exit(-1,
               "ERROR: '%s' is the archive this step writes; a patch needs an earlier archive "
               "as its base",
               path);
    TovArchiveSetDesc desc = {&path, 1};
    TovArchiveSet* set = tov_archive_create(&desc);
    if (!set) sys_exit(-1, "Cannot open '%s'", path);
    TovFileInfo info;
    if (!tov_archive_access_file(set, "all.fileinfo", &info))
      sys_exit(-1, "Cannot find 'all.fileinfo' in '%s'", path);
    char fault[256];
    if (!archive_verify_file(path, fault, sizeof(fault)))
      sys_exit(-1, "ERROR: '%s' is not a sound archive: %s", path, fault);
    if (i > 0) sys_exit(-1, "TODO: Add multi-archive file omit support");
    ignored = set;
    u64 count = info.size / sizeof(FileInfoRecord);
    zu_array_resize(&compared, count);
    memcpy((void*)compared.data, info.data, count * sizeof(FileInfoRecord));
  }
  u64 catalogue_hash = zu_hash("all.fileinfo", 12);
  for (u64 i = 0; i < context->input_count; ++i) {
    const char* name = inputs[i].name;
    u64 hash = zu_hash(name, strlen(name));
    if (hash == catalogue_hash) {
      zu_array_push(included, inputs[i]);
      continue;
    }
    const FileInfoRecord* record = zu_binary_search(catalogue, hash);
    if (!record)
      sys_exit(-1,
               "All files that are packed into archive must be registered in the '.fileinfo' "
               "file, no entry found for '%s'",
               name);
    const FileInfoRecord* before = zu_binary_search(&compared, hash);
    if (before && before->content_hash == record->content_hash) continue;  // unchanged
    bool wanted = ending_count == 0;
    for (u64 e = 0; e < ending_count && !wanted; ++e)
      wanted = sys_strend(
          name, zu_string_text(command_option_value(&g_only_include_files_with_ending, e)));
    if (!wanted) continue;
    zu_array_push(included, inputs[i]);
    zu_array_push(kept, *record);
    if (!before)
      TOV_LOG("Added '%s' (new file)\n", name);
    else
      TOV_LOG("Added '%s' (checksum different, %lx (current) vs %lx (compared) )\n", name,
              (unsigned long)record->content_hash, (unsigned long)before->content_hash);
  }
  zu_sort_array(kept);
  TOV_LOG("END LISTING FILES INCLUDED IN ARCHIVE\n");
  tov_archive_destroy(ignored);
  zu_array_destroy(&compared);
}

}  // namespace

u32 command_pack(CommandContext* context) {
  if (context->output_count != 1) sys_exit(-1, "Only one outfile allowed");
  if (context->input_count == 0) sys_exit(-1, "Need input files");
  u64 last = context->input_count - 1;
  if (!sys_strend(context->inputs[last].path, ".fileinfo"))
    sys_exit(-1, "Last file must be '.fileinfo' file");
  ZuArray<FileInfoRecord> catalogue = {};
  {
    const char* path = context->inputs[last].path;
    ZuFile* file = filesystem_file_create(path, 0, 0);
    if (!file) {
      command_check_inputs(context);
      sys_exit(-1, "Unable to open '%s' for reading", path);
    }
    u64 count = filesystem_file_size(file) / sizeof(FileInfoRecord);
    zu_array_resize(&catalogue, count);
    filesystem_file_read(file, catalogue.data, count * sizeof(FileInfoRecord));
    filesystem_file_destroy(file);
  }
  if (command_option_count(&g_tov_types) != context->input_count)
    sys_exit(-1, "Each input file must be identified with a specific TOV_TYPE_*");
  u64 prefix = strlen(context->working_dir) + strlen(context->intermediate_dir);
  const char* out_path = context->outputs[0].path;
  // Written beside the archive and renamed over it once whole and on disk:
  // a pack that fails or is killed leaves the last good archive, and a game
  // that maps it keeps reading it.
  ZuFile* out = filesystem_file_create(out_path, 1, ZU_FILE_DURABLE);
  if (!out) sys_exit(-1, "Unable to open '%s' file for writing", out_path);

  Included* inputs = (Included*)sys_malloc(context->input_count * sizeof(Included));
  for (u64 i = 0; i < context->input_count; ++i) {
    const char* path = context->inputs[i].path;
    u64 length = strlen(path);
    inputs[i].path = path;
    inputs[i].name = length > prefix ? path + prefix : path + length;
    u64 type = command_option_value_uint(&g_tov_types, i);
    if (type > 0xFFFF)
      sys_exit(-1, "ERROR: Type %lu of '%s' is not a u16", (unsigned long)type, path);
    inputs[i].type = (u16)type;
  }
  for (u64 i = 0; i < context->input_count; ++i) archive_name_check(inputs[i].name);

  ZuArray<Included> included = {};
  ZuArray<FileInfoRecord> packed_catalogue = {};
  if (command_option_is_set(&g_ignore_files_in_archives) ||
      command_option_is_set(&g_only_include_files_with_ending)) {
    command_check_inputs(context);  // not all of them are opened below
    select_filtered(context, inputs, &catalogue, &included, &packed_catalogue);
  } else {
    zu_array_assign_range(&included, inputs, inputs + context->input_count);
    zu_array_assign(&packed_catalogue, &catalogue);
  }

  u64 type_count = 0;
  for (u32 i = 0; i < included.count; ++i)
    if (included.data[i].type + 1u > type_count) type_count = included.data[i].type + 1u;
  u32 count = included.count;
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
    const Included* input = included.data + i;
    member_paths[i] =
        zu_hash(input->name, strlen(input->name)) == catalogue_hash ? nullptr : input->path;
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
    const Included* input = included.data + i;
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
      const FileInfoRecord* record = zu_binary_search(&catalogue, entry->name_hash);
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
    } else {
      flush_staged(offset);
      entry->size = (u64)packed_catalogue.count * sizeof(FileInfoRecord);
      entry->content_hash = zu_hash(packed_catalogue.data, entry->size);
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
    write_checked(out, packed_catalogue.data, (u64)packed_catalogue.count * sizeof(FileInfoRecord),
                  out_path);
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
  zu_array_destroy(&packed_catalogue);
  zu_array_destroy(&included);
  sys_free(inputs);
  zu_array_destroy(&catalogue);
  return 0;
}
