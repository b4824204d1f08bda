// SPDX-License-Identifier: Zlib
// The "cxx" command: C and C++ game data compiled to bitcode (bcgen), run in
// a JIT (bcexe); its entry function writes the outputs. A depfile names the
// headers the compile used, so Ninja rebuilds when one of them changes.
#include "archive/verify_file.h"
#include "command_option.h"
#include "invocations.h"
#include "module_pointers.h"
#include "reactor.h"
#include "tov/tov_archive.h"
#include "zu_small_array.h"

ZU_COMMAND_OPTION(g_command_args, 0, "tov-command-args", "Extra arguments for command", kOptionMany,
                  kOptionString);
ZU_COMMAND_OPTION(g_cpp_function, 0, "tov-cpp-function",
                  "Select entry point when compiling .c/.cpp files", kOptionOne, kOptionString);
ZU_COMMAND_OPTION(g_cxx_depfile, 0, "tov-cxx-depfile", "Output depfile for 'cxx' builds",
                  kOptionOne, kOptionString);
ZU_COMMAND_OPTION(g_cxx_headers, 0, "tov-cxx-headers", "Header files for 'cxx' builds", kOptionMany,
                  kOptionString);

namespace {

typedef void (*DataEntry)(CommandContext* context, void* user_data);

const char* option_text(CommandOption** handle, u64 index) {
  return zu_string_text(command_option_value(handle, index));
}

// The depfile names the headers the compile read: files of the tree by
// their names, and for a header from an archive, the archives themselves.
void write_depfile(const char* path, const char* output, const char* working_dir,
                   const CompileSource* headers, u32 header_files, u32 header_count,
                   const u8* used) {
  ZuArray<const char*> inputs = {};
  for (u32 i = 0; i < header_count; ++i) {
    if (!used[i]) continue;
    if (i < header_files) {
      zu_array_push(&inputs, headers[i].name);
      continue;
    }
    for (u64 a = 0; a < command_option_count(&g_cxx_headers); ++a)
      if (sys_strend(option_text(&g_cxx_headers, a), ".tov"))
        zu_array_push(&inputs, option_text(&g_cxx_headers, a));
    break;
  }
  tov_write_depfile(path, output, working_dir, inputs.data, inputs.count);
  zu_array_destroy(&inputs);
}

u32 create_executor(void* executor) {
  *(void**)executor = bcexe_bcexe_create();
  return 0;
}

}  // namespace

u32 command_cxx(CommandContext* context) {
  HostContext* host = zu_host();
  if (!host || !reactor_load_library(&host->libraries, "bcgen", 0))
    sys_exit(-1, "Failed to load 'bcgen'");
  if (!reactor_load_library(&host->libraries, "bcexe", 0)) sys_exit(-1, "Failed to load 'bcexe'");
  if (!bcgen_bitcode_create || !bcgen_bitcode_get_data || !bcgen_bitcode_destroy)
    sys_exit(-1, "Failed to load 'bcgen'");
  if (!bcexe_bcexe_create || !bcexe_bcexe_load_bitcode || !bcexe_bcexe_get_function ||
      !bcexe_bcexe_destroy)
    sys_exit(-1, "Failed to load 'bcexe'");

  u64 working_length = strlen(context->working_dir);
  ZuSmallArray<CompileSource, 256> sources;
  zu_small_array_init(&sources);
  for (u64 i = 0; i < context->input_count; ++i) {
    CommandInput* input = context->inputs + i;
    u64 size = input->data.count;
    zu_array_push(&input->data, (u8)0);
    const char* name = input->path;
    if (sys_strncmp(name, context->working_dir, working_length) == 0) name += working_length;
    zu_small_array_push(&sources, CompileSource{name, input->data.data, size});
  }

  TovArchiveSetDesc none = {nullptr, 0};
  TovArchiveSet* set = tov_archive_create(&none);
  ZuSmallArray<CompileSource, 256> headers;
  zu_small_array_init(&headers);
  ZuArray<u8> header_bytes = {};
  bool archive_given = false;
  ZuString joined;
  zu_string_zero(&joined);
  for (u64 i = 0; i < command_option_count(&g_cxx_headers); ++i) {
    const char* value = option_text(&g_cxx_headers, i);
    if (sys_strend(value, ".tov")) {
      // Like headers, archives are named from the working folder, wherever
      // Ninja runs the step.
      ZuString archive;
      zu_string_init(&archive, value[0] == '/' ? "" : context->working_dir);
      zu_string_add_text(&archive, value);
      const char* path = zu_string_text(&archive);
      if (!tov_archive_add_archives(set, &path, 1, TOV_ARCHIVE_END))
        sys_exit(-1, "ERROR: Cannot open archive '%s'", value);
      char fault[256];
      if (!archive_verify_file(path, fault, sizeof(fault)))
        sys_exit(-1, "ERROR: '%s' is not a sound archive: %s", value, fault);
      zu_string_destroy(&archive);
      archive_given = true;
    } else if (sys_strend(value, ".h")) {
      zu_string_init(&joined, context->working_dir);
      zu_string_add_text(&joined, value);
      ZuFile* file = filesystem_file_create(zu_string_text(&joined), 0, 0);
      if (!file)
        sys_exit(-1, "ERROR: Cannot open header '%s' for reading", zu_string_text(&joined));
      u64 size = filesystem_file_size(file);
      u32 at = header_bytes.count;
      zu_array_resize(&header_bytes, (u64)at + size + 1);
      size = filesystem_file_read(file, header_bytes.data + at, size);
      header_bytes.data[at + size] = 0;
      header_bytes.count = at + (u32)size + 1;
      filesystem_file_destroy(file);
      // data holds the offset until the buffer stops moving.
      zu_small_array_push(&headers, CompileSource{value, (const u8*)(u64)at, size});
      zu_string_destroy(&joined);
    } else {
      sys_exit(-1, "'%s' is not a valid dependency, only '.tov' and '.h' files allowed", value);
    }
  }
  u32 header_files = zu_small_array_count(&headers);
  for (u32 i = 0; i < header_files; ++i) {
    CompileSource* header = zu_small_array_data(&headers) + i;
    header->data = header_bytes.data + (u64)header->data;
  }
  TovFileInfo* archived = nullptr;
  if (archive_given) {
    u64 count = tov_archive_index_directory(set, "", 4, nullptr, 0);
    archived = (TovFileInfo*)sys_malloc(count * sizeof(TovFileInfo) + 1);
    count = tov_archive_index_directory(set, "", 4, archived, count);
    for (u64 i = 0; i < count; ++i) {
      bool known = false;
      for (u32 h = 0; h < zu_small_array_count(&headers) && !known; ++h)
        known = sys_strequal(zu_small_array_data(&headers)[h].name, archived[i].name);
      if (known || archived[i].size == 0) continue;  // a header file wins; earlier archives win
      zu_small_array_push(&headers, CompileSource{archived[i].name, (const u8*)archived[i].data,
                                                  archived[i].size - 1});
    }
  }

  ZuSmallArray<const char*, 256> flags;
  zu_small_array_init(&flags);
  for (u64 i = 0; i < command_option_count(&g_command_args); ++i)
    zu_small_array_push(&flags, option_text(&g_command_args, i));
  zu_small_array_push(&flags, (const char*)"-DZU_RELEASE=1");

  u32 header_count = zu_small_array_count(&headers);
  u8* used = (u8*)sys_malloc(header_count + 1);
  memset(used, 0, header_count + 1);
  const char* first_output = context->output_count ? context->outputs[0].path : "";
  // The JIT is set up on a second thread while the data compiles (both
  // libraries registered LLVM's targets when they were loaded).
  void* executor = nullptr;
  ZuThread* setup = thread_thread_create(create_executor, &executor, "bcexe setup", ~0ull);
  if (!setup) create_executor(&executor);
  void* bitcode = bcgen_bitcode_create(
      zu_small_array_data(&sources), zu_small_array_count(&sources), zu_small_array_data(&headers),
      header_count, zu_small_array_data(&flags), zu_small_array_count(&flags), used);
  if (setup) {
    thread_thread_join(setup);
    thread_thread_destroy(setup);
  }
  if (!bitcode) sys_exit(-1, "Failed compilation of '%s'", first_output);
  const void* data = nullptr;
  u64 size = bcgen_bitcode_get_data(bitcode, &data);
  if (!executor || !bcexe_bcexe_load_bitcode(executor, data, size, first_output, 1))
    sys_exit(-1, "ERROR: Couldn't load the compiled data of '%s'", first_output);
  const char* entry_name =
      command_option_is_set(&g_cpp_function) ? option_text(&g_cpp_function, 0) : "tov_compile_data";
  DataEntry entry = (DataEntry)bcexe_bcexe_get_function(executor, entry_name);
  if (!entry) sys_exit(-1, "Unable to find function '%s'", entry_name);
  entry(context, tov_get_current_build_rule_user_data());

  if (command_option_is_set(&g_cxx_depfile))
    write_depfile(option_text(&g_cxx_depfile, 0), first_output, context->working_dir,
                  zu_small_array_data(&headers), header_files, header_count, used);

  bcexe_bcexe_destroy(executor);
  bcgen_bitcode_destroy(bitcode);
  sys_free(used);
  sys_free(archived);
  zu_small_array_destroy(&flags);
  zu_small_array_destroy(&headers);
  zu_array_destroy(&header_bytes);
  tov_archive_destroy(set);
  zu_small_array_destroy(&sources);
  return 0;
}
