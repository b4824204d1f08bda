// SPDX-License-Identifier: Zlib
#include "statements.h"

#include "archive/names.h"
#include "build_rule_table.h"
#include "build_rules/invocations.h"
#include "ninja_text.h"
#include "queued_sources.h"
#include "zu_small_array.h"

namespace {

// The ending of a name. A base name without '.' has the empty ending when
// an endings file's '*' line packs every file no rule knows (real trees hold
// such files, and games read them); otherwise it ends the process.
const char* ending_of(const char* name) {
  const char* ending = file_ending(name);
  if (ending) return ending;
  if (!build_rule_has_fallback()) sys_exit(-1, "ERROR: No '.' in filename '%s', aborting...", name);
  return name + strlen(name);
}

const char* checked_ending(const char* name) {
  archive_name_check(name);
  return ending_of(name);
}

void push_name(ZuArray<ZuString>* list, const char* name) {
  zu_string_init(zu_array_push_zeroed(list), name);
}

const RuleInvocation* invocation_of(const BuildRule* rule) {
  const ZuString* name = zu_string_size(&rule->invocation) ? &rule->invocation : &rule->command;
  return find_rule_invocation(zu_hash(zu_string_text(name), zu_string_size(name)));
}

void write_extra_inputs(ZuFile* file, const BuildRule* rule, const char* source, u32 source_stem,
                        const char* archive_name, u32 archive_stem, const char* working_dir,
                        const char* intermediate_dir) {
  char test[2048];
  const char* slash = sys_strrchr(source, '/');
  u32 folder = slash ? (u32)(slash - source + 1) : 0;
  for (u32 i = 0; i < rule->extra_inputs.count; ++i) {
    const BuildRuleExtraInput* input = rule->extra_inputs.data + i;
    const char* suffix = zu_string_text(&input->suffix);
    if (input->in_folder) {
      sys_snprintf(test, sizeof(test), "%s%.*s%s", working_dir, (int)folder, source, suffix);
      if ((filesystem_get_attr(test) & 3u) == 3u || input->always) {
        ninja_write(file, " ${wd}");
        ninja_write_path(file, source, folder);
        ninja_write(file, suffix);
      }
      continue;
    }
    bool candidates[2] = {input->first_in_intermediate != 0, true};
    u32 candidate_count = input->then_intermediate ? 2 : 1;
    for (u32 c = 0; c < candidate_count; ++c) {
      bool in_intermediate = candidates[c];
      // The intermediate test path is relative to the current folder.
      if (in_intermediate)
        sys_snprintf(test, sizeof(test), "%s%.*s%s", intermediate_dir, (int)archive_stem,
                     archive_name, suffix);
      else
        sys_snprintf(test, sizeof(test), "%s%.*s%s", working_dir, (int)source_stem, source, suffix);
      bool last = c + 1 == candidate_count;
      if ((filesystem_get_attr(test) & 3u) == 3u || (last && input->always)) {
        if (in_intermediate) {
          ninja_writef(file, " ${od}%.*s%s", (int)archive_stem, archive_name, suffix);
        } else {
          ninja_write(file, " ${wd}");
          ninja_write_path(file, source, source_stem);
          ninja_write(file, suffix);
        }
        break;
      }
    }
  }
}

}  // namespace

void write_build_statements(const char* source, const char* archive_name,
                            bool input_in_intermediate, const char* working_dir,
                            const char* intermediate_dir, ZuArray<ZuString>* chained,
                            ZuArray<ZuString>* members, ZuArray<u16>* types, ZuFile* file) {
  // With normalized names the source keeps its artist's spelling: its rules
  // and its step files follow the archive name instead.
  bool normalized = archive_name && queued_names_normalized();
  const char* source_ending = normalized ? ending_of(source) : checked_ending(source);
  const char* archive_ending = source_ending;
  if (archive_name)
    archive_ending = checked_ending(archive_name);
  else
    archive_name = source;
  const BuildRule* first;
  const BuildRule* end;
  if (!find_build_rules(normalized ? archive_name : source,
                        normalized ? archive_ending : source_ending, &first, &end))
    return;
  u32 source_stem = (u32)(source_ending - source);
  u32 archive_stem = (u32)(archive_ending - archive_name);
  const char* step_name = normalized ? archive_name : source;
  u32 step_stem = normalized ? archive_stem : source_stem;
  u32 archive_length = (u32)strlen(archive_name);
  char name[2048];
  for (const BuildRule* rule = first; rule < end; ++rule) {
    if (rule->aggregate) continue;
    ninja_write(file, "\nbuild");
    u32 cut = zu_string_size(&rule->ending);
    int kept = (int)(archive_length > cut ? archive_length - cut : 0);
    for (u32 i = 0; i < rule->outputs.count; ++i) {
      const BuildRuleOutput* output = rule->outputs.data + i;
      sys_snprintf(name, sizeof(name), "%.*s%s", kept, archive_name,
                   zu_string_text(&output->ending));
      ninja_write(file, " ${od}");
      ninja_write(file, name);
      if (output->chain) push_name(chained, name);
      if (output->pack) {
        push_name(members, name);
        zu_array_push(types, output->type);
      }
    }
    ninja_write(file, " : ");
    ninja_write(file, zu_string_text(&rule->command));
    const RuleInvocation* invocation = invocation_of(rule);
    ninja_write(file, input_in_intermediate ? " ${od}" : " ${wd}");
    ninja_write_path(file, source, strlen(source));
    write_extra_inputs(file, rule, source, source_stem, archive_name, archive_stem, working_dir,
                       intermediate_dir);
    ninja_write(file, " | ${sdk}versions/");
    ninja_write(file, zu_string_text(&rule->command));
    ninja_write(file, ".txt\n");
    if (invocation && rule->outputs.count == 1) {
      const char* output_ending = zu_string_text(&rule->outputs.data[0].ending);
      if (invocation->has_depfile)
        ninja_writef(file, "  out_depfile = ${builddir}depfiles/%.*s%s.d\n", (int)step_stem,
                     step_name, output_ending);
      if (invocation->has_rspfile)
        ninja_writef(file, "  out_rspfile = ${od}%.*s%s.rsp\n", (int)step_stem, step_name,
                     output_ending);
    }
  }
}

namespace {

// One combined statement per aggregate rule over the generated files from
// start on that carry its ending; returns the number of outputs written.
u32 write_combined_statements(ZuFile* file, const ZuArray<ZuString>* generated, u32 start,
                              ZuArray<ZuString>* current, ZuArray<ZuString>* members,
                              ZuArray<u16>* types) {
  const ZuArray<BuildRule>* rules = build_rule_table();
  u32 written = 0;
  char name[2048];
  for (u32 r = 0; r < rules->count; ++r) {
    const BuildRule* rule = rules->data + r;
    if (!rule->aggregate) continue;
    ZuSmallArray<const ZuString*, 1024> collected;
    zu_small_array_init(&collected);
    for (u32 i = start; i < generated->count; ++i)
      if (sys_strend(zu_string_text(generated->data + i), zu_string_text(&rule->ending)))
        zu_small_array_push(&collected, (const ZuString*)(generated->data + i));
    if (zu_small_array_count(&collected) == 0) continue;
    ninja_write(file, "build");
    for (u32 i = 0; i < rule->outputs.count; ++i) {
      const BuildRuleOutput* output = rule->outputs.data + i;
      sys_snprintf(name, sizeof(name), "all%s", zu_string_text(&output->ending));
      ninja_write(file, " ${od}");
      ninja_write(file, name);
      push_name(members, name);
      zu_array_push(types, output->type);
      push_name(current, name);
      ++written;
    }
    ninja_write(file, " : ");
    ninja_write(file, zu_string_text(&rule->command));
    for (u32 i = 0; i < zu_small_array_count(&collected); ++i) {
      ninja_write(file, " ${od}");
      ninja_write(file, zu_string_text(zu_small_array_data(&collected)[i]));
    }
    ninja_write(file, " | ${sdk}versions/");
    ninja_write(file, zu_string_text(&rule->command));
    ninja_write(file, ".txt\n");
    const RuleInvocation* invocation = find_rule_invocation(
        zu_hash(zu_string_text(&rule->command), zu_string_size(&rule->command)));
    if (invocation && invocation->has_rspfile)
      ninja_writef(file, "  out_rspfile = ${od}all%s.rsp\n",
                   zu_string_text(&rule->outputs.data[0].ending));
    zu_small_array_destroy(&collected);
  }
  return written;
}

}  // namespace

void write_statement_section(ZuFile* file, const char* const* source_paths,
                             const char* const* archive_names, u32 count, const char* working_dir,
                             const char* intermediate_dir, ZuArray<ZuString>* members,
                             ZuArray<u16>* types, u32 listed_count) {
  ZuArray<ZuString> generated = {};
  ZuArray<u32> owner = {};  // the source of each member from here on
  u32 first_member = members->count;
  char path[2048];
  for (u32 i = 0; i < count; ++i) {
    // Sources are relative to the working folder, wherever the tool runs.
    if (i >= listed_count) {
      sys_snprintf(path, sizeof(path), "%s%s", working_dir, source_paths[i]);
      u32 attributes = filesystem_get_attr(path);
      if (!(attributes & ZU_ATTR_EXISTS)) continue;  // gone: skipped silently
      if (attributes & ZU_ATTR_SPECIAL)
        sys_exit(-1,
                 "ERROR: '%s' is not a regular file (a device, a pipe or a socket), aborting...",
                 source_paths[i]);
    }
    write_build_statements(source_paths[i], archive_names[i], false, working_dir, intermediate_dir,
                           &generated, members, types, file);
    while (first_member + owner.count < members->count) zu_array_push(&owner, i);
  }
  // Two sources cooked into one file (rock.png and rock.jpg both give
  // rock.ktx2) would have Ninja refuse the whole file: name them here. One
  // source queued twice stays as it always was.
  ZuArray<const char*> outputs = {}, sources = {};
  for (u32 k = 0; k < owner.count; ++k) {
    zu_array_push(&outputs, zu_string_text(members->data + first_member + k));
    zu_array_push(&sources, source_paths[owner.data[k]]);
  }
  refuse_equal_names(outputs.data, sources.data, outputs.count, sources.data);
  zu_array_destroy(&outputs);
  zu_array_destroy(&sources);
  zu_array_destroy(&owner);
  if (generated.count == 0) {
    zu_array_destroy(&generated);
    return;
  }
  ZuArray<ZuString> work[2] = {};
  zu_array_assign(&work[0], &generated);
  u32 current = 0;
  u32 start = 0;
  for (;;) {
    ninja_write(file, "\n\n\n");
    while (work[current].count > 0) {
      ZuArray<ZuString>* other = &work[current ^ 1];
      for (u32 i = 0; i < work[current].count; ++i)
        write_build_statements(zu_string_text(work[current].data + i), nullptr, true, working_dir,
                               intermediate_dir, other, members, types, file);
      zu_array_clear(&work[current]);
      for (u32 i = 0; i < other->count; ++i)
        zu_string_init_copy(zu_array_push_zeroed(&generated), other->data + i);
      ninja_write(file, "\n\n\n");
      current ^= 1;
    }
    u32 combined =
        write_combined_statements(file, &generated, start, &work[current], members, types);
    start = generated.count;
    if (combined == 0) break;
  }
  zu_array_destroy(&work[0]);
  zu_array_destroy(&work[1]);
  zu_array_destroy(&generated);
}
