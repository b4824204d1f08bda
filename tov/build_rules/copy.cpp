// SPDX-License-Identifier: Zlib
#include "invocations.h"

u32 command_copy(CommandContext* context) {
  if (context->input_count != 1 || context->output_count != 1)
    sys_exit(-1, "'copy' expects exactly one input and one output");
  const char* from = context->inputs[0].path;
  const char* to = context->outputs[0].path;
  if (!filesystem_copy_file(to, from, true)) sys_exit(-1, "Failed to copy '%s' to '%s'", from, to);
  return 0;
}
