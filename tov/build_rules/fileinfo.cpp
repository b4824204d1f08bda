// SPDX-License-Identifier: Zlib
// The catalogue of built files: name hash, modification time and content
// hash of each. A file whose time did not change keeps its previous record
// without being read, so a rebuild reads only what changed.
#include "archive/format.h"
#include "invocations.h"
#include "read_file.h"
#include "zu_parallel.h"
#include "zu_sort.h"

namespace {

// The previous catalogue, when the output exists: size / 24 records.
void read_catalogue(const char* path, ZuArray<FileInfoRecord>* records) {
  if ((filesystem_get_attr(path) & 3u) != 3u) return;
  ZuFile* file = filesystem_file_create(path, 0, 0);
  if (!file) return;
  u64 count = filesystem_file_size(file) / sizeof(FileInfoRecord);
  zu_array_resize(records, count);
  u64 read = filesystem_file_read(file, records->data, count * sizeof(FileInfoRecord));
  records->count = (u32)(read / sizeof(FileInfoRecord));
  filesystem_file_destroy(file);
}

struct Catalogue {
  const CommandContext* context;
  u64 prefix;
  const ZuArray<FileInfoRecord>* previous;
  FileInfoRecord* records;  // one per input, in input order
  u8* unreadable;           // 1 for an input that could not be read
};

// Takes the records of inputs [begin, end): each a stat, and a read only
// for a file whose time changed. The parts run on every processor, since a
// catalogue of thousands of files is mostly waiting on the file system.
void catalogue_part(void* argument, u64 begin, u64 end) {
  Catalogue* work = (Catalogue*)argument;
  ZuArray<u8> buffer = {};
  for (u64 i = begin; i < end; ++i) {
    const char* path = work->context->inputs[i].path;
    u64 length = strlen(path);
    const char* name = length > work->prefix ? path + work->prefix : path + length;
    FileInfoRecord* record = work->records + i;
    record->name_hash = zu_hash(name, strlen(name));
    record->modified = filesystem_get_last_modified_time(path);
    const FileInfoRecord* known = zu_binary_search(work->previous, record->name_hash);
    if (known && known->modified == record->modified) {
      *record = *known;
    } else if (read_whole_file(path, &buffer)) {
      record->content_hash = zu_hash(buffer.data, buffer.count);
    } else {
      work->unreadable[i] = 1;
    }
  }
  zu_array_destroy(&buffer);
}

}  // namespace

u32 command_fileinfo(CommandContext* context) {
  if (context->output_count != 1) sys_exit(-1, "Only one outfile allowed");
  u64 prefix = strlen(context->working_dir) + strlen(context->intermediate_dir);
  const char* out_path = context->outputs[0].path;
  ZuArray<FileInfoRecord> previous = {};
  read_catalogue(out_path, &previous);

  ZuArray<FileInfoRecord> records = {};
  zu_array_resize(&records, context->input_count);
  Catalogue work = {context, prefix, &previous, records.data,
                    (u8*)sys_malloc(context->input_count + 1)};
  memset(work.unreadable, 0, context->input_count + 1);
  zu_parallel_parts(context->input_count, 256, catalogue_part, &work);
  for (u64 i = 0; i < context->input_count; ++i) {
    if (!work.unreadable[i]) continue;
    command_check_inputs(context);
    sys_exit(-1, "Couldn't open '%s' for reading", context->inputs[i].path);
  }
  sys_free(work.unreadable);
  zu_sort_array(&records);

  ZuFile* file = filesystem_file_create(out_path, 1, 0);
  if (!file) sys_exit(-1, "ERROR: Couldn't open '%s' for writing", out_path);
  u64 bytes = (u64)records.count * sizeof(FileInfoRecord);
  bool written = filesystem_file_write(file, records.data, bytes) == bytes;
  for (u32 i = 1; i < records.count; ++i)
    if (records.data[i].name_hash == records.data[i - 1].name_hash)
      sys_exit(-1, "Hash collision found when generating '.fileinfo' file");
  if (!filesystem_file_destroy(file) || !written)
    sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?)", out_path);
  zu_array_destroy(&records);
  zu_array_destroy(&previous);
  return 0;
}
