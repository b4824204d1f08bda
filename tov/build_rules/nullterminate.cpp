// SPDX-License-Identifier: Zlib
// Text files made ready to use in place: "nullterminate" appends a NUL;
// "nullterminate_newlines" makes a string table (u64 count, u64 offset of
// each line into the text, then the text with every line break as NUL).
#include "invocations.h"

namespace {

void check_counts(const CommandContext* context) {
  // Both commands report under the first one's name.
  if (context->input_count != 1 || context->output_count != 1)
    sys_exit(-1, "'nullterminate' expects exactly one input and one output");
}

void write(CommandContext* context, const void* data, u64 size) {
  if (filesystem_file_write(context->outputs[0].file, data, size) != size)
    sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?)", context->outputs[0].path);
}

}  // namespace

u32 command_nullterminate(CommandContext* context) {
  check_counts(context);
  const ZuArray<u8>* data = &context->inputs[0].data;
  write(context, data->data, data->count);
  u8 nul = 0;
  write(context, &nul, 1);
  return 0;
}

u32 command_nullterminate_newlines(CommandContext* context) {
  check_counts(context);
  ZuArray<u8>* data = &context->inputs[0].data;
  ZuArray<u64> offsets = {};
  bool line_start = true;
  for (u32 i = 0; i < data->count; ++i) {
    u8 byte = data->data[i];
    if (byte == '\n' || byte == '\r') {
      data->data[i] = 0;
      line_start = true;
    } else if (line_start) {
      zu_array_push(&offsets, (u64)i);
      line_start = false;
    }
  }
  u64 count = offsets.count;
  write(context, &count, sizeof(count));
  write(context, offsets.data, count * sizeof(u64));
  write(context, data->data, data->count);
  // A last line without a line break still ends in a NUL, so that every
  // string of the table can be read as a C string.
  if (data->count > 0 && data->data[data->count - 1] != 0) {
    u8 nul = 0;
    write(context, &nul, 1);
  }
  zu_array_destroy(&offsets);
  return 0;
}
