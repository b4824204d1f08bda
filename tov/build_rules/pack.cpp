// SPDX-License-Identifier: Zlib
// The "tov" command: packs the build's files into one archive, whole or
// as a patch that leaves out what an earlier archive already holds.
#include "archive/names.h"
#include "archive/verify_file.h"
#include "command_option.h"
#include "development_pack.h"
#include "invocations.h"
#include "log.h"
#include "pack_writer.h"
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

// Chooses the inputs a patch holds: files new or changed against the
// ignored archive's catalogue, and only those with the given endings.
void select_filtered(const CommandContext* context, const PackInput* inputs,
                     const ZuArray<FileInfoRecord>* catalogue, ZuArray<PackInput>* included,
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
  bool filtering = command_option_is_set(&g_ignore_files_in_archives) ||
                   command_option_is_set(&g_only_include_files_with_ending);
  bool development = development_pack_requested();
  if (development && filtering)
    sys_exit(-1,
             "ERROR: --tov-overlay packs a development archive, which is no patch: leave out "
             "--tov-ignore-files-in-archives and --tov-only-include-files-with-ending");
  // Written beside the archive and renamed over it once whole and on disk:
  // a pack that fails or is killed leaves the last good archive, and a game
  // that maps it keeps reading it. A development pack chooses later what
  // it writes.
  ZuFile* out = development ? nullptr : filesystem_file_create(out_path, 1, ZU_FILE_DURABLE);
  if (!development && !out) sys_exit(-1, "Unable to open '%s' file for writing", out_path);

  PackInput* inputs = (PackInput*)sys_malloc(context->input_count * sizeof(PackInput));
  memset((void*)inputs, 0, context->input_count * sizeof(PackInput));
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
  if (development) {
    u32 result = development_pack(context, inputs, context->input_count, &catalogue);
    sys_free(inputs);
    zu_array_destroy(&catalogue);
    return result;
  }

  ZuArray<PackInput> included = {};
  ZuArray<FileInfoRecord> packed_catalogue = {};
  if (filtering) {
    command_check_inputs(context);  // not all of them are opened below
    select_filtered(context, inputs, &catalogue, &included, &packed_catalogue);
  } else {
    zu_array_assign_range(&included, inputs, inputs + context->input_count);
    zu_array_assign(&packed_catalogue, &catalogue);
  }

  pack_write(out, out_path, context, included.data, included.count, &catalogue, &packed_catalogue,
             0);
  zu_array_destroy(&packed_catalogue);
  zu_array_destroy(&included);
  sys_free(inputs);
  zu_array_destroy(&catalogue);
  return 0;
}
