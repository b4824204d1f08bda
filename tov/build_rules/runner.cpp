// SPDX-License-Identifier: Zlib
// Runs the one command a build step names: its inputs and outputs come as
// option values (possibly from an argument file), and commands that open
// files get their inputs read and their outputs created first.
#include "../cache/cached_step.h"
#include "command_option.h"
#include "invocations.h"
#include "zu_parallel.h"

ZU_COMMAND_OPTION(g_command_in_file, 0, "tov-command-in-file", "Input file(s) for command",
                  kOptionMany, kOptionString);
ZU_COMMAND_OPTION(g_command_out_file, 0, "tov-command-out-file", "Output file(s) for command",
                  kOptionMany, kOptionString);

namespace {

void* g_user_data;

struct InputCheck {
  const CommandInput* inputs;
  u8* found;
};

void check_inputs(void* argument, u64 begin, u64 end) {
  InputCheck* check = (InputCheck*)argument;
  for (u64 i = begin; i < end; ++i)
    check->found[i] = (filesystem_get_attr(check->inputs[i].path) & 3u) == 3u;
}

}  // namespace

// A pack step checks thousands of paths, each a walk through its folders:
// they are checked on every processor, and the first missing one in order
// is reported.
void command_check_inputs(const CommandContext* context) {
  u64 count = context->input_count;
  InputCheck check = {context->inputs, (u8*)sys_malloc(count + 1)};
  zu_parallel_parts(count, 512, check_inputs, &check);
  for (u64 i = 0; i < count; ++i) {
    const char* path = context->inputs[i].path;
    const char* next = i + 1 < count ? context->inputs[i + 1].path : "<no next file>";
    if (!check.found[i])
      sys_exit(-1, "Couldn't find file '%s' (next file is '%s'), exiting...", path, next);
  }
  sys_free(check.found);
}

void* tov_get_current_build_rule_user_data(void) { return g_user_data; }

void tov_set_current_build_rule_user_data(void* value) { g_user_data = value; }

namespace {

struct Step {
  const RuleInvocation* invocation;
  const char* working_dir;
  const char* sdk_dir;
  const char* intermediate_dir;
};

u32 run_step(void* argument) {
  const Step* step = (const Step*)argument;
  const RuleInvocation* invocation = step->invocation;
  const char* working_dir = step->working_dir;
  const char* sdk_dir = step->sdk_dir;
  const char* intermediate_dir = step->intermediate_dir;

  u64 input_count = command_option_count(&g_command_in_file);
  CommandInput* inputs = (CommandInput*)sys_malloc(input_count * sizeof(CommandInput) + 1);
  memset((void*)inputs, 0, input_count * sizeof(CommandInput));
  for (u64 i = 0; i < input_count; ++i)
    inputs[i].path = zu_string_text(command_option_value(&g_command_in_file, i));
  CommandContext context = {inputs,      input_count, nullptr,         0,
                            working_dir, sdk_dir,     intermediate_dir};
  if (!invocation->checks_inputs) command_check_inputs(&context);
  for (u64 i = 0; i < input_count; ++i) {
    const char* path = inputs[i].path;
    if (!invocation->opens_files) continue;
    ZuFile* file = filesystem_file_create(path, 0, 0);
    if (!file) sys_exit(-1, "Couldn't open '%s' for reading, exiting...", path);
    u64 size = filesystem_file_size(file);
    if (size > 0xFFFFFFFEull) sys_exit(-1, "ERROR: '%s' is larger than 4 GiB, exiting...", path);
    zu_array_resize(&inputs[i].data, size);
    if (filesystem_file_read(file, inputs[i].data.data, size) != size)
      sys_exit(-1, "Couldn't open '%s' for reading, exiting...", path);
    filesystem_file_destroy(file);
  }

  u64 output_count = command_option_count(&g_command_out_file);
  CommandOutput* outputs = (CommandOutput*)sys_malloc(output_count * sizeof(CommandOutput) + 1);
  for (u64 i = 0; i < output_count; ++i) {
    outputs[i].path = zu_string_text(command_option_value(&g_command_out_file, i));
    outputs[i].file =
        invocation->opens_files ? filesystem_file_create(outputs[i].path, 1, 0) : nullptr;
    if (invocation->opens_files && !outputs[i].file)
      sys_exit(-1, "ERROR: Couldn't open '%s' for writing, exiting...", outputs[i].path);
  }

  context.outputs = outputs;
  context.output_count = output_count;
  u32 result = invocation->handler(&context);

  // Outputs are put in place only when the command succeeded: a failed one
  // leaves them as they were, and Ninja runs the step again.
  for (u64 i = 0; i < output_count; ++i) {
    if (!outputs[i].file) continue;
    if (result != 0) {
      filesystem_file_discard(outputs[i].file);
    } else if (!filesystem_file_destroy(outputs[i].file)) {
      outputs[i].file = nullptr;
      for (u64 k = i + 1; k < output_count; ++k) filesystem_file_discard(outputs[k].file);
      sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?), exiting...", outputs[i].path);
    }
  }
  for (u64 i = 0; i < input_count; ++i) zu_array_destroy(&inputs[i].data);
  sys_free(inputs);
  sys_free(outputs);
  return result;
}

}  // namespace

u32 run_command(const char* name, const char* working_dir, const char* sdk_dir,
                const char* intermediate_dir) {
  const RuleInvocation* invocation = find_rule_invocation(zu_hash(name, strlen(name)));
  if (!invocation) sys_exit(-1, "Couldn't find command named '%s' in invocation entries", name);
  Step step = {invocation, working_dir, sdk_dir, intermediate_dir};
  if (!cache_requested()) return run_step(&step);
  StepPlace place = {working_dir, sdk_dir, intermediate_dir};
  return cached_step_run(name, &place, run_step, &step);
}
