// SPDX-License-Identifier: Zlib
#include "invocations.h"

u32 command_mirror_dir(CommandContext* context) {
  if (context->input_count != 1 || context->output_count != 1)
    sys_exit(-1, "'mirror_dir' expects exactly one input and one output");
  filesystem_mirror_directory(context->outputs[0].path, context->inputs[0].path,
                              context->working_dir);
  return 0;
}
