// SPDX-License-Identifier: Zlib
// The tool entry: reads the settings, then either runs one build command
// (how Ninja calls the tool back) or gathers the input files and writes
// build.ninja.
#include "build_rules/invocations.h"
#include "command_option.h"
#include "ninja/endings_file.h"
#include "ninja/ninja_file.h"
#include "queued_sources.h"
#include "tov_entry.h"
#include "help_version.h"
#include "unknown_options.h"
#include "watch/watch.h"

ZU_COMMAND_OPTION(g_tov_dir, 0, "tov-dir",
                  "Directory(ies) to process for archive inclusion (use '|' to rename in archive, "
                  "i.e. --tov-dir my_dir/|otherdir/",
                  kOptionMany, kOptionString);
ZU_COMMAND_OPTION(g_tov_file, 0, "tov-file",
                  "File(s) to process for archive inclusion (use '|' to rename in archive, i.e. "
                  "--tov-file dir/f.cpp|odir/ofile.cpp)",
                  kOptionMany, kOptionString);
ZU_COMMAND_OPTION(g_tov_depfile, 0, "tov-depfile", "File(s) to process as dependencies",
                  kOptionMany, kOptionString);
ZU_COMMAND_OPTION(g_tov_out, 0, "tov-out", "Filename of output file to write", kOptionOne,
                  kOptionString);
ZU_COMMAND_OPTION(g_tov_intermediate_dir, 0, "tov-intermediate-dir",
                  "Sets intermediate directory.", kOptionOne, kOptionString);
ZU_COMMAND_OPTION(g_tov_sdk_dir, 0, "tov-sdk-dir", "Sets SDK directory.", kOptionMany,
                  kOptionString);
ZU_COMMAND_OPTION(g_tov_working_dir, 0, "tov-working-dir",
                  "Sets working directory. All files/directories (except out file) should be "
                  "relative to this",
                  kOptionOne, kOptionString);
ZU_COMMAND_OPTION(g_tov_command, 0, "tov-command", "Invokes a registered 'tov'-command",
                  kOptionOne, kOptionString);
ZU_COMMAND_OPTION(g_tov_verbose, 0, "tov-verbose", "Enable verbose output", kOptionFlag,
                  kOptionNone);

namespace {

const char* value_text(CommandOption** handle, u64 index) {
  return zu_string_text(command_option_value(handle, index));
}

void replace_backslashes(ZuString* text) {
  for (char* at = sys_strchr(zu_string_text(text), '\\'); at; at = sys_strchr(at + 1, '\\'))
    *at = '/';
}

void add_final_slash(ZuString* text) {
  if (!sys_strend(zu_string_text(text), "/")) zu_string_add_char(text, '/');
}

// "C:/a/b/../c/" becomes "C:/a/c/". A "../" with no '/' before its folder
// name removes from the start of the text.
void remove_dot_dots(ZuString* text) {
  for (;;) {
    char* data = zu_string_data(text);
    char* dots = sys_strstr(data, "../");
    if (!dots) return;
    char* slash = dots - data >= 2 ? sys_strchr_rev(data, dots - 2, '/') : nullptr;
    char* from = slash ? slash + 1 : data;
    zu_string_erase(text, from, dots + 3);
  }
}

// The first value of an option, with the slash normalisations.
void setting(ZuString* out, CommandOption** handle, bool final_slash) {
  zu_string_init(out, value_text(handle, 0));
  replace_backslashes(out);
  if (final_slash) add_final_slash(out);
}

void grow_lists(ZuArray<PathSlot>* sources, ZuArray<PathSlot>* names, u64 added) {
  zu_array_resize(sources, (u64)sources->count + added);
  zu_array_resize(names, (u64)names->count + added);
}

// Says which of the listed files are links that lead outside the folder
// scanned: they are packed as the files they lead to.
void report_outside_links(const PathSlot* sources, u64 count, const char* scan_dir,
                          const char* working_dir) {
  char path[ZU_PATH_SLOT * 2], root[4096], target[4096];
  auto absolute = [&](const char* relative) {
    sys_snprintf(path, sizeof(path), "%s%s", working_dir, relative);
    return path;
  };
  if (!filesystem_resolve_path(absolute(scan_dir), root, sizeof(root) - 1)) return;
  u64 root_length = strlen(root);
  root[root_length++] = '/';
  root[root_length] = 0;
  for (u64 i = 0; i < count; ++i) {
    if (!filesystem_resolve_path(absolute(sources[i].text), target, sizeof(target))) continue;
    if (sys_strncmp(target, root, root_length) != 0)
      sys_printf("'%s' is a link to '%s', outside the folder scanned: packed as that file\n",
                 sources[i].text, target);
  }
}

// Sources are named relative to the working folder all the way to the
// build steps, which take every path from it: an absolute one would lead
// nowhere there.
void refuse_absolute(const char* option, const char* path, const char* working_dir) {
  if (path[0] == '/')
    sys_exit(-1,
             "ERROR: %s '%s' is an absolute path: give it relative to the working dir '%s' "
             "(../ reaches outside it), aborting...",
             option, path, working_dir);
}

// Says so when the folder to scan or the file to queue does not exist: a
// mistyped path would otherwise pack nothing without a word. True when it
// does not.
bool report_missing(const char* kind, const char* path, const char* working_dir) {
  char full[ZU_PATH_SLOT * 2];
  sys_snprintf(full, sizeof(full), "%s%s", working_dir, path);
  if (filesystem_get_attr(full) & ZU_ATTR_EXISTS) return false;
  sys_printf("WARNING: %s '%s' does not exist\n", kind, path);
  return true;
}

// Returns the number of folders that do not exist.
u32 scan_directories(ZuArray<PathSlot>* sources, ZuArray<PathSlot>* names,
                     const char* working_dir, bool verbose) {
  u32 missing = 0;
  for (u64 v = 0; v < command_option_count(&g_tov_dir); ++v) {
    ZuString value;
    zu_string_init(&value, value_text(&g_tov_dir, v));
    replace_backslashes(&value);
    add_final_slash(&value);
    const char* text = zu_string_text(&value);
    const char* bar = sys_strchr(text, '|');
    ZuString scan;
    if (bar) zu_string_init_text(&scan, text, bar);
    else zu_string_init(&scan, text);
    const char* prefix = bar ? bar + 1 : "";
    if (verbose) sys_printf("Scanning %s...\n", text);
    const char* scan_dir = zu_string_text(&scan);
    refuse_absolute("--tov-dir", scan_dir, working_dir);
    u64 found = filesystem_list_directory_files(scan_dir, working_dir, true, false, nullptr, 0);
    if (found == 0 && report_missing("--tov-dir folder", scan_dir, working_dir)) ++missing;
    u32 first = sources->count;
    grow_lists(sources, names, found);
    u64 listed = filesystem_list_directory_files(scan_dir, working_dir, true, false,
                                                 (char(*)[ZU_PATH_SLOT])(sources->data + first),
                                                 found);
    if (verbose) report_outside_links(sources->data + first, listed, scan_dir, working_dir);
    u64 skip = strlen(scan_dir);
    for (u64 i = 0; i < listed; ++i)
      sys_snprintf(names->data[first + i].text, ZU_PATH_SLOT - 1, "%s%s", prefix,
                   sources->data[first + i].text + skip);
    if (listed < found) {  // the tree shrank between the two looks
      sources->count = first + (u32)listed;
      names->count = first + (u32)listed;
    }
    zu_string_destroy(&scan);
    zu_string_destroy(&value);
  }
  return missing;
}

void queue_files(ZuArray<PathSlot>* sources, ZuArray<PathSlot>* names, const char* working_dir) {
  u64 count = command_option_count(&g_tov_file);
  u32 first = sources->count;
  grow_lists(sources, names, count);
  for (u64 v = 0; v < count; ++v) {
    ZuString value;
    zu_string_init(&value, value_text(&g_tov_file, v));
    replace_backslashes(&value);
    const char* text = zu_string_text(&value);
    const char* bar = sys_strchr(text, '|');
    PathSlot* source = sources->data + first + v;
    PathSlot* name = names->data + first + v;
    if (!bar) {
      sys_strncpy(source->text, text, ZU_PATH_SLOT);
      sys_strncpy(name->text, text, ZU_PATH_SLOT);
    } else {
      sys_strncpy(name->text, bar + 1, ZU_PATH_SLOT);
      u64 size = (u64)(bar - text) + 1;
      sys_strncpy(source->text, text, size < ZU_PATH_SLOT ? size : ZU_PATH_SLOT);
    }
    refuse_absolute("--tov-file", source->text, working_dir);
    zu_string_destroy(&value);
  }
}

}  // namespace

const char* tov_get_current_build_rule_command(void) {
  if (!command_option_is_set(&g_tov_command)) return nullptr;
  return value_text(&g_tov_command, 0);
}

u32 tov_begin(void) {
  if (tov_answer_help_or_version()) return 0;
  check_unknown_options();
  if (watch_requested()) return watch_run();
  if (!command_option_is_set(&g_tov_working_dir)) sys_exit(-1, "No working dir set");
  ZuString working_dir;
  setting(&working_dir, &g_tov_working_dir, true);
  if (zu_string_text(&working_dir)[0] == '.') sys_exit(-1, "Working dir must be absolute path");

  if (!command_option_is_set(&g_tov_sdk_dir)) sys_exit(-1, "No SDK dir set");
  ZuString sdk_dir;
  zu_string_init_empty(&sdk_dir);
  for (u64 i = 0; i < command_option_count(&g_tov_sdk_dir); ++i) {
    if (i) zu_string_add_char(&sdk_dir, ' ');
    zu_string_add_text(&sdk_dir, value_text(&g_tov_sdk_dir, i));
  }
  replace_backslashes(&sdk_dir);
  add_final_slash(&sdk_dir);

  if (!command_option_is_set(&g_tov_intermediate_dir))
    sys_exit(-1, "No intermediate dir set");
  ZuString intermediate_dir;
  setting(&intermediate_dir, &g_tov_intermediate_dir, true);

  if (command_option_is_set(&g_tov_command)) {
    u32 result = run_command(value_text(&g_tov_command, 0), zu_string_text(&working_dir),
                             zu_string_text(&sdk_dir), zu_string_text(&intermediate_dir));
    zu_string_destroy(&intermediate_dir);
    zu_string_destroy(&sdk_dir);
    zu_string_destroy(&working_dir);
    return result;
  }

  if (!command_option_is_set(&g_tov_out)) sys_exit(-1, "No output file set");
  ZuString out_file;
  setting(&out_file, &g_tov_out, false);
  remove_dot_dots(&working_dir);
  bool verbose = command_option_is_set(&g_tov_verbose);
  if (verbose) {
    sys_printf("Output file is set to %s\n", zu_string_text(&out_file));
    sys_printf("Intermediate directory is set to %s\n", zu_string_text(&intermediate_dir));
    sys_printf("Working directory is set to %s\n", zu_string_text(&working_dir));
    sys_printf("SDK directory is set to %s\n", zu_string_text(&sdk_dir));
  }

  // build.ninja carries these folders unquoted, and its rules quote them for
  // the shell: a quote or a '$' in them cannot be carried safely.
  const char* carried[] = {zu_string_text(&working_dir), zu_string_text(&intermediate_dir),
                           filesystem_get_exe_path()};
  for (const char* path : carried)
    if (sys_strrpbrk(path, "'\"$`"))
      sys_exit(-1, "ERROR: Path '%s' holds a quote, '$' or '`', which build.ninja cannot carry",
               path);

  ZuArray<PathSlot> sources = {};
  ZuArray<PathSlot> names = {};
  endings_file_register(zu_string_text(&working_dir), zu_string_text(&sdk_dir));
  u32 missing = 0;
  if (command_option_is_set(&g_tov_dir))
    missing = scan_directories(&sources, &names, zu_string_text(&working_dir), verbose);
  u32 listed_count = sources.count;
  if (command_option_is_set(&g_tov_file))
    queue_files(&sources, &names, zu_string_text(&working_dir));
  if (sources.count != names.count) sys_exit(-1, "Internal error");
  u32 found_files = listed_count;
  for (u32 i = listed_count; i < sources.count; ++i) {
    if (report_missing("--tov-file", sources.data[i].text, zu_string_text(&working_dir)))
      ++missing;
    else
      ++found_files;
  }
  if (missing && found_files == 0)
    sys_exit(-1, "ERROR: Nothing to pack: none of the folders and files given exists, aborting...");
  queued_sources_drop_ignored(&sources, &names, &listed_count);
  queued_sources_normalize_names(&sources, &names);

  u32 count = sources.count;
  const char** source_paths = count ? (const char**)sys_malloc(count * sizeof(char*)) : nullptr;
  const char** archive_names = count ? (const char**)sys_malloc(count * sizeof(char*)) : nullptr;
  for (u32 i = 0; i < count; ++i) {
    source_paths[i] = sources.data[i].text;
    archive_names[i] = names.data[i].text;
  }
  if (verbose) {
    for (u32 i = 0; i < count; ++i) sys_printf("Queued '%s'...\n", source_paths[i]);
    sys_printf("\n");
  }
  u32 depfile_count = (u32)command_option_count(&g_tov_depfile);
  const char** depfiles = nullptr;
  if (depfile_count) {
    depfiles = (const char**)sys_malloc(depfile_count * sizeof(char*));
    for (u32 i = 0; i < depfile_count; ++i) depfiles[i] = value_text(&g_tov_depfile, i);
  }

  write_ninja_file(source_paths, archive_names, count, zu_string_text(&out_file),
                   zu_string_text(&intermediate_dir), zu_string_text(&working_dir),
                   zu_string_text(&sdk_dir), depfiles, depfile_count, listed_count);

  sys_free(depfiles);
  sys_free(archive_names);
  sys_free(source_paths);
  zu_array_destroy(&names);
  zu_array_destroy(&sources);
  zu_string_destroy(&out_file);
  zu_string_destroy(&intermediate_dir);
  zu_string_destroy(&sdk_dir);
  zu_string_destroy(&working_dir);
  return 0;
}
