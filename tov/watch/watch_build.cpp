// SPDX-License-Identifier: Zlib
#include "watch_build.h"

#include "zu_sort.h"

namespace {

bool begins(const char* text, u64 length, const char* prefix) {
  u64 size = strlen(prefix);
  return length >= size && memcmp(text, prefix, size) == 0;
}

// Ninja's "[3/17] " before a step's description.
bool progress_line(const char* line, u64 length) {
  if (length < 5 || line[0] != '[') return false;
  u64 at = 1;
  while (at < length && line[at] >= '0' && line[at] <= '9') ++at;
  if (at == 1 || at >= length || line[at] != '/') return false;
  u64 slash = ++at;
  while (at < length && line[at] >= '0' && line[at] <= '9') ++at;
  return at > slash && at + 1 < length && line[at] == ']' && line[at + 1] == ' ';
}

// Prints one line of a build's output unless it is progress or the
// chatter of a step that went well; notes the outputs of a failed step.
void pass_on(const char* line, u64 length, WatchRun* run) {
  if (progress_line(line, length) || begins(line, length, "ninja: Entering directory") ||
      begins(line, length, "ninja: no work to do") ||
      begins(line, length, "ninja: build stopped") || begins(line, length, "Wrote '") ||
      begins(line, length, "Removed '") ||
      (length > 0 && line[0] == '\'' && memmem(line, length, "' is up to date (", 17)))
    return;
  if (begins(line, length, "FAILED: ")) {
    // "FAILED: out1 out2", each as Ninja escapes it for the shell.
    for (const char* at = line + 8; at < line + length;) {
      while (at < line + length && *at == ' ') ++at;
      const char* end = at;
      bool quoted = end < line + length && *end == '\'';
      if (quoted) {
        end = (const char*)memchr(at + 1, '\'', line + length - at - 1);
        if (!end) break;
        zu_array_push(&run->failed_outputs, zu_hash(at + 1, (u64)(end - at - 1)));
        at = end + 1;
        continue;
      }
      while (end < line + length && *end != ' ') ++end;
      if (end > at) zu_array_push(&run->failed_outputs, zu_hash(at, (u64)(end - at)));
      at = end;
    }
  }
  sys_printf("%.*s\n", (int)length, line);
  sys_flush();
}

// What a process's output lines go to.
struct LineSink {
  void (*line)(const char* line, u64 length, void* context);
  void* context;
};

void pass_on_line(const char* line, u64 length, void* run) {
  pass_on(line, length, (WatchRun*)run);
}

// Runs argv, handing its output to sink line by line.
void run_process(const char* const* argv, const char* folder, LineSink sink, WatchRun* run) {
  ZuProcess* process = process_process_create(argv, folder);
  if (!process) {
    sys_printf("ERROR: Couldn't start '%s'\n", argv[0]);
    run->status = 127;
    return;
  }
  ZuArray<char> pending = {};
  char buffer[16384];
  bool interrupted = false;
  for (;;) {
    i64 got = process_process_read(process, buffer, sizeof(buffer), ~0u);
    if (got == -2 && !interrupted) {
      // Ctrl-C from a terminal reaches the build too; a signal sent to
      // this process alone is passed on, and the build's end awaited.
      process_process_interrupt(process);
      interrupted = true;
      continue;
    }
    if (got == -2) {
      threadlocal_sleep(10);
      continue;
    }
    if (got <= 0) break;
    zu_array_append(&pending, buffer, (u64)got);
    u64 start = 0;
    for (u64 i = 0; i < pending.count; ++i) {
      if (pending.data[i] != '\n') continue;
      sink.line(pending.data + start, i - start, sink.context);
      start = i + 1;
    }
    memmove(pending.data, pending.data + start, pending.count - start);
    pending.count -= (u32)start;
  }
  if (pending.count) sink.line(pending.data, pending.count, sink.context);
  zu_array_destroy(&pending);
  run->status = process_process_wait(process);
  process_process_destroy(process);
  if (interrupted) run->status = -2;
}

}  // namespace

void watch_run_ninja(const char* ninja, const char* build_dir, const char* const* args,
                     WatchRun* run) {
  const char* argv[16] = {ninja, "-C", build_dir};
  u32 count = 3;
  for (; args && *args && count < 15; ++args) argv[count++] = *args;
  argv[count] = nullptr;
  run_process(argv, nullptr, LineSink{pass_on_line, run}, run);
}

void watch_run_overlay(const NinjaIndex* index, const char* build_dir,
                       const WatchManifest* manifest, WatchRun* run) {
  run->status = 0;
  if (index->pack == kNoStatement) return;
  // The members the build wrote, and those a changed source reaches
  // (built before, while an earlier overlay could not be written).
  ZuString arguments;
  zu_string_init(&arguments, "--tov-types");
  u32 count = 0;
  for (u32 i = 0; i < manifest->members.count; ++i) {
    const WatchMember* member = manifest->members.data + i;
    if (!manifest->always.data[i] &&
        filesystem_get_last_modified_time(zu_string_text(&member->path)) == member->modified)
      continue;
    char number[16];
    sys_snprintf(number, sizeof(number), "\n%u", (unsigned)member->type);
    zu_string_add_text(&arguments, number);
    ++count;
  }
  if (count == 0) {
    zu_string_destroy(&arguments);
    return;
  }
  zu_string_add_text(&arguments, "\n--tov-command-in-file");
  for (u32 i = 0; i < manifest->members.count; ++i) {
    const WatchMember* member = manifest->members.data + i;
    if (!manifest->always.data[i] &&
        filesystem_get_last_modified_time(zu_string_text(&member->path)) == member->modified)
      continue;
    zu_string_add_char(&arguments, '\n');
    zu_string_add_text(&arguments, zu_string_text(&member->path));
  }
  zu_string_add_char(&arguments, '\n');
  ZuString list, archive;
  zu_string_init(&list, build_dir);
  zu_string_add_text(&list, "watch/overlay.args");
  ZuFile* file = filesystem_file_create(zu_string_text(&list), 1, 0);
  bool written =
      file && filesystem_file_write(file, zu_string_text(&arguments), zu_string_size(&arguments)) ==
                  zu_string_size(&arguments);
  if (file && !filesystem_file_destroy(file)) written = false;
  ninja_index_path(index, index->tokens.data[index->statements.data[index->pack].outputs],
                   &archive);
  if (!written) {
    sys_printf("ERROR: Couldn't write '%s'\n", zu_string_text(&list));
    run->status = 1;
  } else {
    const char* argv[] = {ninja_index_variable(index, "boot"),
                          "--tov-working-dir",
                          ninja_index_variable(index, "wd"),
                          "--tov-sdk-dir",
                          ninja_index_variable(index, "sdk"),
                          "--tov-intermediate-dir",
                          ninja_index_variable(index, "id"),
                          "--tov-command",
                          "overlay",
                          "--tov-command-out-file",
                          zu_string_text(&archive),
                          "--arg-file",
                          zu_string_text(&list),
                          nullptr};
    run_process(argv, nullptr, LineSink{pass_on_line, run}, run);
  }
  zu_string_destroy(&archive);
  zu_string_destroy(&list);
  zu_string_destroy(&arguments);
}

namespace {

// Reads "ninja -t deps": an output's line, then its inputs indented.
struct DepsReader {
  const NinjaIndex* index;
  ZuArray<NinjaPathKey> found;
  ZuArray<u64> statements;  // those the listing names
  u32 current;
};

void read_deps_line(const char* line, u64 length, void* context) {
  DepsReader* reader = (DepsReader*)context;
  if (length == 0) return;
  if (line[0] != ' ') {
    const char* colon = (const char*)memchr(line, ':', length);
    reader->current = colon ? ninja_index_writer(reader->index, zu_hash(line, (u64)(colon - line)))
                            : kNoStatement;
    if (reader->current != kNoStatement) zu_array_push(&reader->statements, (u64)reader->current);
    return;
  }
  u64 at = 0;
  while (at < length && line[at] == ' ') ++at;
  if (reader->current != kNoStatement && at < length)
    zu_array_push(&reader->found, NinjaPathKey{zu_hash(line + at, length - at), reader->current});
}

}  // namespace

void watch_found_inputs_read(const char* ninja, const char* build_dir, const char* manifest,
                             const NinjaIndex* index, ZuArray<NinjaPathKey>* found) {
  bool any = false;
  for (u32 s = 0; s < index->statements.count && !any; ++s)
    any = index->statements.data[s].has_depfile;
  if (!any) {
    zu_array_clear(found);
    return;
  }
  const char* argv[] = {ninja, "-C", build_dir, "-f", manifest, "-t", "deps", nullptr};
  if (!manifest) {
    argv[3] = "-t";
    argv[4] = "deps";
    argv[5] = nullptr;
  }
  DepsReader reader = {index, {}, {}, kNoStatement};
  WatchRun run = {};
  run_process(argv, nullptr, LineSink{read_deps_line, &reader}, &run);
  watch_run_destroy(&run);
  // The statements listed replace what was known of them.
  zu_sort_array(&reader.statements);
  u32 kept = 0;
  for (u32 i = 0; i < found->count; ++i) {
    u32 statement = found->data[i].statement;
    if (manifest && !zu_binary_search(&reader.statements, (u64)statement))
      found->data[kept++] = found->data[i];
  }
  found->count = kept;
  zu_array_append(found, reader.found.data, reader.found.count);
  zu_sort_array(found);
  zu_array_destroy(&reader.found);
  zu_array_destroy(&reader.statements);
}

void watch_run_destroy(WatchRun* run) { zu_array_destroy(&run->failed_outputs); }
