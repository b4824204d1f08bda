// SPDX-License-Identifier: Zlib
#include "regenerate.h"

#include "command_option.h"
#include "ninja_text.h"
#include "zu_array.h"

ZU_COMMAND_OPTION(g_tov_regenerate, 0, "tov-regenerate",
                  "build.ninja regenerates itself when a scanned folder gains or loses a file, or "
                  "a rule file or the endings file changes",
                  kOptionFlag, kOptionNone);

namespace {

struct Slot {
  char text[ZU_PATH_SLOT];
};

// A path relative to the working folder, or absolute, as an input; a
// folder's is also kept in folders.
void write_input(ZuFile* file, const char* path, ZuArray<ZuString>* folders = nullptr) {
  ninja_write(file, path[0] == '/' ? " " : " ${wd}");
  u64 length = strlen(path);
  while (length > 1 && path[length - 1] == '/') --length;
  ninja_write_path(file, path, length);
  if (folders) zu_string_init_text(zu_array_push_zeroed(folders), path, path + length);
}

// Every folder below folder (given relative to working_dir): the listing
// with folders, less the one without.
void write_folders(ZuFile* file, const char* folder, const char* working_dir,
                   ZuArray<ZuString>* folders) {
  u64 all = filesystem_list_directory_files(folder, working_dir, true, true, nullptr, 0);
  u64 files = filesystem_list_directory_files(folder, working_dir, true, false, nullptr, 0);
  ZuArray<Slot> everything = {}, plain = {};
  zu_array_resize(&everything, all);
  zu_array_resize(&plain, files);
  all = filesystem_list_directory_files(folder, working_dir, true, true,
                                        (char(*)[ZU_PATH_SLOT])everything.data, all);
  files = filesystem_list_directory_files(folder, working_dir, true, false,
                                          (char(*)[ZU_PATH_SLOT])plain.data, files);
  // Both sorted bytewise: a merge.
  u64 f = 0;
  for (u64 i = 0; i < all; ++i) {
    const char* path = everything.data[i].text;
    if (f < files && sys_strequal(path, plain.data[f].text)) {
      ++f;
      continue;
    }
    write_input(file, path, folders);
  }
  zu_array_destroy(&everything);
  zu_array_destroy(&plain);
}

void write_arguments(const char* path) {
  i32 argc;
  char** argv;
  sys_get_argc_argv(&argc, &argv);
  // A run that Ninja started to regenerate reads the arguments kept before.
  if (argc == 3 && sys_strequal(argv[1], "--arg-file") && sys_strequal(argv[2], path)) return;
  ZuFile* file = filesystem_file_create(path, 1, 0);
  if (!file) sys_exit(-1, "ERROR: Couldn't write '%s', aborting...", path);
  for (i32 i = 1; i < argc; ++i) {
    if (sys_strchr(argv[i], '\n'))
      sys_exit(-1, "ERROR: Argument '%s' holds a line break; --tov-regenerate cannot keep it",
               argv[i]);
    filesystem_file_write(file, argv[i], strlen(argv[i]));
    filesystem_file_write(file, "\n", 1);
  }
  if (!filesystem_file_destroy(file)) sys_exit(-1, "ERROR: Couldn't write '%s', aborting...", path);
}

}  // namespace

void write_regenerate_statement(ZuFile* file, const char* working_dir,
                                const char* intermediate_dir) {
  if (!command_option_is_set(&g_tov_regenerate)) return;
  char path[2048];
  sys_snprintf(path, sizeof(path), "%s%sregenerate.args", working_dir, intermediate_dir);
  write_arguments(path);
  // Argument files and other relative paths of the command line are taken
  // from the folder generation ran in.
  char here[2048];
  if (!filesystem_resolve_path(".", here, sizeof(here)) || sys_strrpbrk(here, "'\"$`\n"))
    sys_exit(-1, "ERROR: The current folder cannot be carried in build.ninja for --tov-regenerate");
  ninja_write(file, "\n\nrule tov_regenerate\n  command = cd \"");
  ninja_write(file, here);
  ninja_write(file,
              "\" && \"$boot\" --arg-file \"${od}regenerate.args\"\n  generator = 1\n"
              "  description = REGENERATE build.ninja\n\nbuild build.ninja : tov_regenerate");
  ZuArray<ZuString> folders = {};
  CommandOption* dirs = command_option_find("tov-dir");
  for (u64 i = 0; dirs && i < command_option_count(dirs->handle); ++i) {
    char folder[ZU_PATH_SLOT];
    sys_strncpy(folder, zu_string_text(command_option_value(dirs->handle, i)), sizeof(folder));
    char* bar = sys_strchr(folder, '|');
    if (bar) *bar = 0;
    sys_strreplace_any(folder, "\\", '/');
    write_input(file, folder, &folders);
    write_folders(file, folder, working_dir, &folders);
  }
  const char* listed[] = {"tov-rule-file", "tov-endings"};
  for (const char* name : listed) {
    CommandOption* option = command_option_find(name);
    for (u64 i = 0; option && i < command_option_count(option->handle); ++i) {
      const char* value = zu_string_text(command_option_value(option->handle, i));
      if (sys_strequal(name, "tov-rule-file")) {
        ninja_write(file, " ${sdk}");
        ninja_write_path(file, value, strlen(value));
      } else {
        write_input(file, value);
      }
    }
  }
  // A folder deleted since must not stop Ninja: as an output of no inputs
  // it is out of date when missing, and build.ninja is generated again.
  for (u32 i = 0; i < folders.count; ++i) {
    ninja_write(file, "\nbuild");
    write_input(file, zu_string_text(folders.data + i));
    ninja_write(file, " : phony");
  }
  ninja_write(file, "\n");
  zu_array_destroy(&folders);
}
