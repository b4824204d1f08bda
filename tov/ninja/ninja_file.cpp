// SPDX-License-Identifier: Zlib
#include "ninja_file.h"

#include "build_rules/development_pack.h"
#include "build_rules/invocations.h"
#include "command_option.h"
#include "ninja_text.h"
#include "regenerate.h"
#include "remote_rules.h"
#include "rule_copies.h"
#include "statements.h"

ZU_COMMAND_OPTION(g_rule_file, 0, "tov-rule-file", "Paths to rule files for build", kOptionMany,
                  kOptionString);
ZU_COMMAND_OPTION(g_tov_out_dir, 0, "tov-out-dir",
                  "Folder the archive is written to (relative to the working dir; default: "
                  "danger_zone/ beside the tool)",
                  kOptionOne, kOptionString);

namespace {

// A ZuString holding text, escaped for Ninja.
void escaped(ZuString* out, const char* text, bool blanks) {
  zu_string_init(out, text);
  ninja_escape(out, blanks);
}

void write_variable(ZuFile* file, const char* prefix, const char* text, bool blanks) {
  ZuString value;
  escaped(&value, text, blanks);
  ninja_write(file, prefix);
  ninja_write(file, zu_string_text(&value));
  zu_string_destroy(&value);
}

void write_quoted_path(ZuFile* file, const char* path) {
  ZuString value;
  escaped(&value, path, true);
  ninja_write(file, " \"");
  ninja_write(file, zu_string_text(&value));
  ninja_write(file, "\"");
  zu_string_destroy(&value);
}

// The values of the archive step's filter options, found by name: they are
// registered with the pack command.
void write_filter_variables(ZuFile* file) {
  CommandOption* ignore = command_option_find("tov-ignore-files-in-archives");
  if (ignore && command_option_is_set(ignore->handle)) {
    ninja_write(file, "\nignore_files_in_archives = --tov-ignore-files-in-archives \"");
    for (u64 i = 0; i < command_option_count(ignore->handle); ++i) {
      if (i) ninja_write(file, " ");
      ninja_write(file, zu_string_text(command_option_value(ignore->handle, i)));
    }
    ninja_write(file, "\"");
  } else {
    ninja_write(file, "\nignore_files_in_archives =");
  }
  CommandOption* only = command_option_find("tov-only-include-files-with-ending");
  if (only && command_option_is_set(only->handle)) {
    ninja_write(file, "\nonly_include_files_with_ending = --tov-only-include-files-with-ending");
    for (u64 i = 0; i < command_option_count(only->handle); ++i) {
      ninja_write(file, " \"");
      ninja_write(file, zu_string_text(command_option_value(only->handle, i)));
      ninja_write(file, "\"");
    }
  } else {
    ninja_write(file, "\nonly_include_files_with_ending =");
  }
}

// One variable per group of every command: the files ending in its patterns.
void write_group_variables(ZuFile* file, const char* const* source_paths, u32 count,
                           const char* const* depfiles, u32 depfile_count) {
  const ZuArray<RuleInvocation>* table = rule_invocation_table();
  for (u32 r = 0; r < table->count; ++r) {
    const ZuArray<RuleInvocationGroup>* groups = &table->data[r].groups;
    for (u32 g = 0; g < groups->count; ++g) {
      const RuleInvocationGroup* group = groups->data + g;
      ninja_write(file, "\n");
      ninja_write(file, zu_string_text(&group->name));
      ninja_write(file, " =");
      for (u32 p = 0; p < group->patterns.count; ++p) {
        const char* ending = zu_string_text(group->patterns.data + p) + 1;  // "*.h" gives ".h"
        for (u32 i = 0; i < depfile_count; ++i)
          if (sys_strend(depfiles[i], ending)) write_quoted_path(file, depfiles[i]);
        for (u32 i = 0; i < count; ++i)
          if (sys_strend(source_paths[i], ending)) write_quoted_path(file, source_paths[i]);
      }
    }
  }
}

void write_depfile_variables(ZuFile* file, const char* const* depfiles, u32 depfile_count) {
  char line[512];
  for (u32 i = 0; i < depfile_count; ++i) {
    const char* slash = sys_strrchr(depfiles[i], '/');
    ZuString folder;
    zu_string_init_text(&folder, depfiles[i], slash ? slash + 1 : depfiles[i]);
    ninja_escape(&folder, true);
    sys_snprintf(line, sizeof(line), "\ndepfile%lu = \"%s\"", (unsigned long)i,
                 zu_string_text(&folder));
    ninja_write(file, line);
    zu_string_destroy(&folder);
  }
}

// The archive's members as inputs of the catalogue and pack statements.
void write_members(ZuFile* file, const ZuArray<ZuString>* members) {
  for (u32 i = 0; i < members->count; ++i) {
    ninja_write(file, " ${od}");
    ninja_write(file, zu_string_text(members->data + i));
  }
}

void copy_rule_files(ZuFile* file, const char* working_dir, const char* intermediate_dir,
                     const char* sdk_dir) {
  char source[2048], destination[2048];
  for (u64 i = 0; i < command_option_count(&g_rule_file); ++i) {
    sys_snprintf(source, sizeof(source), "%s%s", sdk_dir,
                 zu_string_text(command_option_value(&g_rule_file, i)));
    sys_strreplace_any(source, "\\", '/');
    const char* slash = sys_strrchr(source, '/');
    const char* base = slash ? slash + 1 : source;
    sys_snprintf(destination, sizeof(destination), "%s%s../%s", working_dir, intermediate_dir,
                 base);
    if (!filesystem_copy_file(destination, source, true))
      sys_exit(-1, "ERROR: Couldn't copy build rule file '%s'", source);
    rule_copies_rewrite(destination);
    ninja_write(file, "include ${builddir}");
    ninja_write(file, base);
    ninja_write(file, "\n");
  }
}

}  // namespace

void write_ninja_file(const char* const* source_paths, const char* const* archive_names,
                      u32 count, const char* out_file, const char* intermediate_dir,
                      const char* working_dir, const char* sdk_dir, const char* const* depfiles,
                      u32 depfile_count, u32 listed_count) {
  char path[2048];
  sys_snprintf(path, sizeof(path), "%s%s../build.ninja", working_dir, intermediate_dir);
  ZuFile* file = filesystem_file_create(path, 1, 0);
  if (!file) sys_exit(-1, "ERROR: Couldn't open out-file %s for writing.", out_file);

  write_variable(file, "boot = ", filesystem_get_exe_path(), false);
  write_variable(file, "\nwd = ", working_dir, false);
  ninja_write(file, "\nid = ");
  ninja_write(file, intermediate_dir);
  write_variable(file, "\nsdk = ", sdk_dir, true);
  ninja_write(file, "\nbuilddir = ${wd}${id}../");
  ninja_write(file, "\nod = ${wd}${id}");
  ZuString folder;
  if (command_option_is_set(&g_tov_out_dir)) {
    // Two projects on one machine each keep their archive in their own folder.
    const char* chosen = zu_string_text(command_option_value(&g_tov_out_dir, 0));
    ZuString joined;
    zu_string_init(&joined, chosen[0] == '/' ? "" : working_dir);
    zu_string_add_text(&joined, chosen);
    if (!sys_strend(zu_string_text(&joined), "/")) zu_string_add_char(&joined, '/');
    escaped(&folder, zu_string_text(&joined), false);
    zu_string_destroy(&joined);
  } else {
    escaped(&folder, filesystem_get_exe_dir(), false);
    zu_string_add_text(&folder, "danger_zone/");
  }
  sys_strreplace_any(zu_string_data(&folder), "\\", '/');
  ninja_write(file, "\nfd = ");
  ninja_write(file, zu_string_text(&folder));
  zu_string_destroy(&folder);
  write_filter_variables(file);
  ninja_write(file, "\n\n");
  write_group_variables(file, source_paths, count, depfiles, depfile_count);
  write_depfile_variables(file, depfiles, depfile_count);
  ninja_write(file, "\n\n");
  remote_rules_write_variables(file);
  copy_rule_files(file, working_dir, intermediate_dir, sdk_dir);
  ninja_write(file, "\n");

  ZuArray<ZuString> members = {};
  ZuArray<u16> types = {};
  write_statement_section(file, source_paths, archive_names, count, working_dir,
                          intermediate_dir, &members, &types, listed_count);

  ninja_write(file, "\n\nbuild ${od}all.fileinfo : fileinfo ");
  write_members(file, &members);
  ninja_write(file, "\n  out_rspfile = ${od}all.fileinfo.rsp");

  // The archive's name in build lines is escaped: "my game.tov" works too.
  ninja_write(file, "\n\nbuild ${fd}");
  ninja_write_path(file, out_file, strlen(out_file));
  ninja_write(file, " : tov");
  write_members(file, &members);
  ninja_write(file, " ${od}all.fileinfo");
  ninja_write(file, "\n  out_rspfile = ${fd}");
  ninja_write(file, out_file);
  ninja_write(file, ".rsp");
  ninja_write(file, "\n  tov_types =");
  char number[24];
  for (u32 i = 0; i < types.count; ++i) {
    sys_utoa(types.data[i], number, sizeof(number), 10);
    ninja_write(file, " ");
    ninja_write(file, number);
  }
  ninja_write(file, " 2");
  if (development_pack_requested()) {
    // "ninja fold" folds the development archive's overlay in, when asked.
    ninja_write(file,
                "\n\nrule tov_fold\n  command = \"$boot\" $tov_args --tov-command fold "
                "--tov-command-out-file $in\n  description = FOLD $in\n\nbuild fold : tov_fold ${fd}");
    ninja_write_path(file, out_file, strlen(out_file));
  }
  write_regenerate_statement(file, working_dir, intermediate_dir);
  ninja_write(file, "\n\ndefault ${fd}");
  ninja_write_path(file, out_file, strlen(out_file));
  ninja_write(file, "\n");
  if (!filesystem_file_destroy(file))
    sys_exit(-1, "ERROR: Couldn't write build.ninja (is the disk full?)");
  zu_array_destroy(&members);
  zu_array_destroy(&types);
}
