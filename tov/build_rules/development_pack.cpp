// SPDX-License-Identifier: Zlib
#include "development_pack.h"

#include "archive/archive_set.h"
#include "archive/file_access.h"
#include "archive/names.h"
#include "command_option.h"
#include "invocations.h"
#include "zu_sort.h"

ZU_COMMAND_OPTION(g_tov_overlay, 0, "tov-overlay",
                  "Pack a development archive: once it exists, a build writes only an overlay "
                  "beside it with the files changed since (a game reads both as one archive), "
                  "folded into a new archive when it holds a quarter of it",
                  kOptionFlag, kOptionNone);

namespace {

// The overlay is folded into a new archive once it holds this share
// (one in kFoldShare) of the archive's files or bytes: beyond that, every
// lookup of a changed file pays for two archives, and the overlay's own
// pack costs a good part of a whole one.
constexpr u64 kFoldShare = 4;

// A file the overlay is to hold.
struct PlannedFile {
  u64 hash;  // of its name
  PackInput input;
  FileInfoRecord record;
};

// A name the overlay is to hide.
struct HiddenName {
  u64 hash;
  const char* name;
};

struct Plan {
  ZuArray<PlannedFile> files;
  ZuArray<HiddenName> hidden;
};

void plan_destroy(Plan* plan) {
  zu_array_destroy(&plan->files);
  zu_array_destroy(&plan->hidden);
}

u64 name_hash(const char* name) { return zu_hash(name, strlen(name)); }

// The archives' own members, which no plan holds or hides.
bool bookkeeping(u64 hash) {
  return hash == zu_hash(kCatalogueMember, sizeof(kCatalogueMember) - 1) ||
         hash == zu_hash(kHiddenNamesMember, sizeof(kHiddenNamesMember) - 1);
}

// The entry of hash in archive alone (no overlay), or null.
const ArchiveEntry* entry_of(const LoadedArchive* archive, u64 hash) {
  if (!archive || hash == 0) return nullptr;
  const ArchiveSlot* slot = archive_hash_table_probe(&archive->names, hash);
  return slot ? archive_entry_at(archive, slot->value) : nullptr;
}

bool holds_same(const LoadedArchive* archive, u64 hash, u64 content, u16 type) {
  const ArchiveEntry* entry = entry_of(archive, hash);
  return entry && entry->content_hash == content && entry->type == type;
}

// Every stored item of a table: the names an archive holds or hides.
template <class Visit>
void for_each_key(const ArchiveTableView* table, Visit visit) {
  for (u64 i = 0; i < table->buckets * 4; ++i)
    if (table->slots[i].key) visit(table->slots + i);
}

// What a whole pack of inputs would change in the archive: every member it
// does not hold as it is, and every name it holds that the build has no
// more.
void plan_against(const LoadedArchive* full, const PackInput* inputs, u64 count,
                  const ZuArray<FileInfoRecord>* catalogue, Plan* plan) {
  ZuArray<u64> built = {};
  for (u64 i = 0; i < count; ++i) {
    u64 hash = name_hash(inputs[i].name);
    zu_array_push(&built, hash);
    if (bookkeeping(hash)) continue;
    const FileInfoRecord* record = zu_binary_search(catalogue, hash);
    if (!record)
      sys_exit(-1,
               "All files that are packed into archive must be registered in the '.fileinfo' "
               "file, no entry found for '%s'",
               inputs[i].name);
    if (!holds_same(full, hash, record->content_hash, inputs[i].type))
      zu_array_push(&plan->files, PlannedFile{hash, inputs[i], *record});
  }
  zu_sort_array(&built);
  for_each_key(&full->names, [&](const ArchiveSlot* slot) {
    const ArchiveEntry* entry = archive_entry_at(full, slot->value);
    if (!entry || bookkeeping(slot->key) || zu_binary_search(&built, slot->key)) return;
    TovFileInfo info;
    archive_file_info(full, entry, &info);
    zu_array_push(&plan->hidden, HiddenName{slot->key, info.name});
  });
  zu_array_destroy(&built);
}

// The data of an archive's member, or null.
const u8* member_data(const LoadedArchive* archive, const char* name, u64* size) {
  const ArchiveEntry* entry = entry_of(archive, zu_hash(name, strlen(name)));
  if (!entry || !archive_range_ok(archive->size, entry->data, entry->size)) return nullptr;
  *size = entry->size;
  return archive->base + entry->data;
}

// The overlay on disk as a plan: its files (their bytes from its mapping)
// and the names it hides.
void plan_from_overlay(const LoadedArchive* overlay, Plan* plan) {
  u64 catalogue_size = 0;
  const u8* catalogue = member_data(overlay, kCatalogueMember, &catalogue_size);
  ZuArray<FileInfoRecord> records = {};
  if (catalogue)
    zu_array_append(&records, (const FileInfoRecord*)catalogue,
                    catalogue_size / sizeof(FileInfoRecord));
  for_each_key(&overlay->names, [&](const ArchiveSlot* slot) {
    const ArchiveEntry* entry = archive_entry_at(overlay, slot->value);
    if (!entry || bookkeeping(slot->key)) return;
    TovFileInfo info;
    archive_file_info(overlay, entry, &info);
    const FileInfoRecord* record = zu_binary_search(&records, slot->key);
    PlannedFile file = {slot->key,
                        {nullptr, info.name, info.type, info.data, info.size},
                        record ? *record : FileInfoRecord{slot->key, 0, info.checksum}};
    zu_array_push(&plan->files, file);
  });
  zu_array_destroy(&records);
  u64 hidden_size = 0;
  const u8* hidden = member_data(overlay, kHiddenNamesMember, &hidden_size);
  for_each_key(&overlay->hidden, [&](const ArchiveSlot* slot) {
    // The names lie in the member after its table; one that does not end
    // inside it is no name (the archive was damaged).
    if (!hidden || slot->value >= hidden_size ||
        !memchr(hidden + slot->value, 0, hidden_size - slot->value))
      return;
    zu_array_push(&plan->hidden, HiddenName{slot->key, (const char*)hidden + slot->value});
  });
}

// Whether overlay (null for none) holds and hides exactly what plan says.
bool overlay_is(const LoadedArchive* overlay, const Plan* plan) {
  if (!overlay) return plan->files.count == 0 && plan->hidden.count == 0;
  u64 files = 0, hidden = 0;
  for_each_key(&overlay->names, [&](const ArchiveSlot* slot) { files += !bookkeeping(slot->key); });
  for_each_key(&overlay->hidden, [&](const ArchiveSlot*) { ++hidden; });
  if (files != plan->files.count || hidden != plan->hidden.count) return false;
  for (u32 i = 0; i < plan->files.count; ++i) {
    const PlannedFile* file = plan->files.data + i;
    if (!holds_same(overlay, file->hash, file->record.content_hash, file->input.type)) return false;
  }
  for (u32 i = 0; i < plan->hidden.count; ++i)
    if (!archive_hash_table_probe(&overlay->hidden, plan->hidden.data[i].hash)) return false;
  return true;
}

// The bytes of "all.deleted": the hidden names in a table, then the names.
void hidden_member(u64 base, ZuArray<HiddenName>* hidden, ZuArray<u8>* out) {
  zu_sort_array(hidden);  // the same names always give the same bytes
  ZuArray<ArchiveItem> items = {};
  for (u32 i = 0; i < hidden->count; ++i)
    zu_array_push(&items, ArchiveItem{hidden->data[i].hash, (u64)i});
  ZuArray<ArchiveSlot> slots = {};
  archive_hash_table_build(items.data, items.count, &slots);
  // Each slot's value becomes its name's offset in the member.
  ZuArray<u64> offsets = {};
  u64 at = sizeof(HiddenNames) + (u64)slots.count * sizeof(ArchiveSlot);
  for (u32 i = 0; i < hidden->count; ++i) {
    zu_array_push(&offsets, at);
    at += strlen(hidden->data[i].name) + 1;
  }
  for (u32 i = 0; i < slots.count; ++i)
    if (slots.data[i].key) slots.data[i].value = offsets.data[slots.data[i].value];
  HiddenNames header = {base, {items.count, slots.count}};
  zu_array_append(out, (const u8*)&header, sizeof(header));
  zu_array_append(out, (const u8*)slots.data, (u64)slots.count * sizeof(ArchiveSlot));
  for (u32 i = 0; i < hidden->count; ++i)
    zu_array_append(out, (const u8*)hidden->data[i].name, strlen(hidden->data[i].name) + 1);
  zu_array_destroy(&offsets);
  zu_array_destroy(&slots);
  zu_array_destroy(&items);
}

void overlay_path_of(const char* archive_path, ZuString* out) {
  zu_string_init(out, archive_path);
  zu_string_add_text(out, kOverlaySuffix);
}

// Writes plan as the overlay of full. Not synced: a development file that
// the next build writes again, and a game reads a damaged one as nothing
// (it names no build of the archive).
void write_overlay(const CommandContext* context, const LoadedArchive* full, Plan* plan,
                   const char* path) {
  ZuArray<u8> hidden = {};
  hidden_member(archive_catalogue_hash(full), &plan->hidden, &hidden);
  ZuArray<PackInput> inputs = {};
  ZuArray<FileInfoRecord> records = {};
  for (u32 i = 0; i < plan->files.count; ++i) {
    zu_array_push(&inputs, plan->files.data[i].input);
    zu_array_push(&records, plan->files.data[i].record);
  }
  zu_sort_array(&records);
  zu_array_push(&inputs, PackInput{nullptr, kHiddenNamesMember, 2, hidden.data, hidden.count});
  zu_array_push(&inputs, PackInput{nullptr, kCatalogueMember, 2, nullptr, 0});
  ZuFile* out = filesystem_file_create(path, 1, 0);
  if (!out) sys_exit(-1, "Unable to open '%s' file for writing", path);
  pack_write(out, path, context, inputs.data, inputs.count, &records, &records, kArchiveHidesNames);
  zu_array_destroy(&records);
  zu_array_destroy(&inputs);
  zu_array_destroy(&hidden);
}

// Makes the overlay on disk the plan: written, removed when the plan is
// empty (the archive is whole as it is), or left when it is the plan.
void put_overlay(const CommandContext* context, const LoadedArchive* full, Plan* plan) {
  ZuString path;
  overlay_path_of(zu_string_text(&full->path), &path);
  if (overlay_is(full->overlay, plan)) {
    sys_printf("'%s' is up to date (%u files changed and %u deleted since it was packed)\n",
               full->path_text, plan->files.count, plan->hidden.count);
  } else if (plan->files.count == 0 && plan->hidden.count == 0) {
    filesystem_remove_file(zu_string_text(&path));
    sys_printf("Removed '%s': '%s' is whole\n", zu_string_text(&path), full->path_text);
  } else {
    write_overlay(context, full, plan, zu_string_text(&path));
  }
  zu_string_destroy(&path);
}

void unload(LoadedArchive* archive) {
  if (!archive) return;
  if (archive->overlay) archive_unload(archive->overlay);
  archive_unload(archive);
}

// The archive as a development pack finds it: null when there is none to
// lay an overlay over (missing, packed without the option, unreadable).
LoadedArchive* load_development_archive(const char* path) {
  if (!(filesystem_get_attr(path) & ZU_ATTR_READABLE_FILE)) return nullptr;
  LoadedArchive* archive = archive_load(path);
  if (archive && (!(archive->flags & kArchiveHasOverlay) || archive->entries_end == 0 ||
                  archive_catalogue_hash(archive) == 0)) {
    unload(archive);
    return nullptr;
  }
  return archive;
}

}  // namespace

bool development_pack_requested(void) { return command_option_is_set(&g_tov_overlay); }

u32 development_pack(CommandContext* context, const PackInput* inputs, u64 count,
                     const ZuArray<FileInfoRecord>* catalogue) {
  const char* out_path = context->outputs[0].path;
  LoadedArchive* full = load_development_archive(out_path);
  Plan plan = {};
  bool whole = full == nullptr;
  if (full) {
    plan_against(full, inputs, count, catalogue, &plan);
    u64 bytes = 0;
    for (u32 i = 0; i < plan.files.count; ++i)
      bytes += filesystem_get_size(plan.files.data[i].input.path);
    whole = plan.files.count * kFoldShare > count || bytes * kFoldShare > full->size;
  }
  if (whole) {
    ZuFile* out = filesystem_file_create(out_path, 1, ZU_FILE_DURABLE);
    if (!out) sys_exit(-1, "Unable to open '%s' file for writing", out_path);
    pack_write(out, out_path, context, inputs, (u32)count, catalogue, catalogue,
               kArchiveHasOverlay);
    // After the archive is in place: an overlay left meanwhile names the
    // archive before, which games then read without it.
    ZuString overlay;
    overlay_path_of(out_path, &overlay);
    filesystem_remove_file(zu_string_text(&overlay));
    zu_string_destroy(&overlay);
  } else {
    put_overlay(context, full, &plan);
  }
  plan_destroy(&plan);
  unload(full);
  return 0;
}

u32 command_fold(CommandContext* context) {
  if (context->output_count != 1) sys_exit(-1, "Only one outfile allowed");
  const char* out_path = context->outputs[0].path;
  LoadedArchive* full = load_development_archive(out_path);
  if (!full)
    sys_exit(-1, "ERROR: '%s' is no development archive (packed with --tov-overlay)", out_path);
  if (!full->overlay) {
    sys_printf("'%s' has no overlay to fold\n", out_path);
    unload(full);
    return 0;
  }
  // The archive's files in its order, as the overlay leaves them, then the
  // overlay's own; all from the mappings, so the tree need not be built.
  Plan overlay = {};
  plan_from_overlay(full->overlay, &overlay);
  ZuArray<PackInput> inputs = {};
  ZuArray<FileInfoRecord> records = {};
  u64 size = 0;
  const u8* catalogue = member_data(full, kCatalogueMember, &size);
  ZuArray<FileInfoRecord> known = {};
  if (catalogue)
    zu_array_append(&known, (const FileInfoRecord*)catalogue, size / sizeof(FileInfoRecord));
  u64 entries = ((const ArchiveHashTable*)full->names.slots - 1)->item_count;
  for (u64 i = 0; i < entries; ++i) {
    const ArchiveEntry* entry =
        archive_entry_at(full, kArchiveEntriesOffset + i * sizeof(ArchiveEntry));
    if (!entry || bookkeeping(entry->name_hash) ||
        archive_hash_table_probe(&full->overlay->hidden, entry->name_hash) ||
        entry_of(full->overlay, entry->name_hash))
      continue;
    TovFileInfo info;
    archive_file_info(full, entry, &info);
    zu_array_push(&inputs, PackInput{nullptr, info.name, info.type, info.data, info.size});
    const FileInfoRecord* record = zu_binary_search(&known, entry->name_hash);
    zu_array_push(&records, record ? *record : FileInfoRecord{entry->name_hash, 0, info.checksum});
  }
  for (u32 i = 0; i < overlay.files.count; ++i) {
    zu_array_push(&inputs, overlay.files.data[i].input);
    zu_array_push(&records, overlay.files.data[i].record);
  }
  zu_sort_array(&records);
  zu_array_push(&inputs, PackInput{nullptr, kCatalogueMember, 2, nullptr, 0});
  ZuFile* out = filesystem_file_create(out_path, 1, ZU_FILE_DURABLE);
  if (!out) sys_exit(-1, "Unable to open '%s' file for writing", out_path);
  pack_write(out, out_path, context, inputs.data, inputs.count, &records, &records,
             kArchiveHasOverlay);
  ZuString path;
  overlay_path_of(out_path, &path);
  filesystem_remove_file(zu_string_text(&path));
  zu_string_destroy(&path);
  zu_array_destroy(&known);
  zu_array_destroy(&records);
  zu_array_destroy(&inputs);
  plan_destroy(&overlay);
  unload(full);
  return 0;
}

u32 command_overlay(CommandContext* context) {
  if (context->output_count != 1) sys_exit(-1, "Only one outfile allowed");
  CommandOption* types = command_option_find("tov-types");
  if (!types || command_option_count(types->handle) != context->input_count)
    sys_exit(-1, "Each input file must be identified with a specific TOV_TYPE_*");
  const char* out_path = context->outputs[0].path;
  LoadedArchive* full = load_development_archive(out_path);
  if (!full)
    sys_exit(-1,
             "ERROR: '%s' is no development archive: build it whole first (ninja, in a build "
             "generated with --tov-overlay)",
             out_path);
  Plan plan = {};
  if (full->overlay) plan_from_overlay(full->overlay, &plan);
  u64 prefix = strlen(context->working_dir) + strlen(context->intermediate_dir);
  ZuArray<u8> bytes = {};
  for (u64 i = 0; i < context->input_count; ++i) {
    const char* path = context->inputs[i].path;
    u64 length = strlen(path);
    const char* name = length > prefix ? path + prefix : path + length;
    archive_name_check(name);
    u64 type = command_option_value_uint(types->handle, i);
    if (type > 0xFFFF)
      sys_exit(-1, "ERROR: Type %lu of '%s' is not a u16", (unsigned long)type, path);
    ZuFile* file = filesystem_file_create(path, 0, 0);
    if (!file) sys_exit(-1, "Unable to open '%s' for reading", name);
    zu_array_resize(&bytes, filesystem_file_size(file));
    bool read = filesystem_file_read(file, bytes.data, bytes.count) == bytes.count;
    filesystem_file_destroy(file);
    if (!read) sys_exit(-1, "Unable to open '%s' for reading", name);
    u64 hash = name_hash(name);
    FileInfoRecord record = {hash, filesystem_get_last_modified_time(path),
                             zu_hash(bytes.data, bytes.count)};
    // The file as built now replaces what the overlay held or hid of it.
    for (u32 f = 0; f < plan.files.count; ++f)
      if (plan.files.data[f].hash == hash) zu_array_remove(&plan.files, f--);
    for (u32 h = 0; h < plan.hidden.count; ++h)
      if (plan.hidden.data[h].hash == hash) zu_array_remove(&plan.hidden, h--);
    if (!holds_same(full, hash, record.content_hash, (u16)type))
      zu_array_push(&plan.files, PlannedFile{hash, {path, name, (u16)type, nullptr, 0}, record});
  }
  zu_array_destroy(&bytes);
  put_overlay(context, full, &plan);
  plan_destroy(&plan);
  unload(full);
  return 0;
}
