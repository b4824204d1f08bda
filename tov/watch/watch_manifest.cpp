// SPDX-License-Identifier: Zlib
#include "watch_manifest.h"

#include "zu_sort.h"

namespace {

// Statements a save never runs on its own: the whole build's catalogue and
// pack (the overlay takes their place) and the regeneration.
bool whole_build_only(const NinjaIndex* index, const NinjaStatement* statement) {
  return ninja_statement_rule_is(index, statement, "tov") ||
         ninja_statement_rule_is(index, statement, "fileinfo") ||
         ninja_statement_rule_is(index, statement, "tov_regenerate");
}

u64 key_hash(const NinjaPathKey* key) { return key->hash; }

void take(u32 statement, u8* taken, ZuArray<u32>* queue) {
  if (taken[statement]) return;
  taken[statement] = 1;
  zu_array_push(queue, statement);
}

// Adds the readers of hash not yet taken to the queue.
void take_readers(const NinjaIndex* index, const ZuArray<NinjaPathKey>* found, u64 hash, u8* taken,
                  ZuArray<u32>* queue) {
  const NinjaPathKey* end;
  for (const NinjaPathKey* key = ninja_index_readers(index, hash, &end); key && key < end; ++key)
    take(key->statement, taken, queue);
  const NinjaPathKey* key = zu_binary_search_by(found, hash, key_hash);
  if (!key) return;
  while (key > found->data && key[-1].hash == hash) --key;
  for (; key < found->data + found->count && key->hash == hash; ++key)
    if (key->statement < index->statements.count) take(key->statement, taken, queue);
}

}  // namespace

void watch_manifest_plan(const NinjaIndex* index, const ZuArray<NinjaPathKey>* found,
                         const u64* sources, u64 source_count, const ZuArray<u32>* retry,
                         WatchManifest* manifest) {
  memset((void*)manifest, 0, sizeof(*manifest));
  u32 count = index->statements.count;
  u8* taken = (u8*)sys_malloc(count + 1);
  memset(taken, 0, count + 1);
  // 1: the statements a changed source reaches; 2: those retried.
  ZuArray<u32> queue = {};
  for (u64 i = 0; i < source_count; ++i) take_readers(index, found, sources[i], taken, &queue);
  for (u32 q = 0; q < queue.count; ++q) {
    const NinjaStatement* statement = index->statements.data + queue.data[q];
    if (whole_build_only(index, statement)) continue;
    for (u32 o = 0; o < statement->output_count; ++o)
      take_readers(index, found,
                   ninja_index_path_hash(index, index->tokens.data[statement->outputs + o]), taken,
                   &queue);
  }
  for (u32 r = 0; retry && r < retry->count; ++r)
    if (retry->data[r] < count && !taken[retry->data[r]]) taken[retry->data[r]] = 2;
  for (u32 s = 0; s < count; ++s) {
    const NinjaStatement* statement = index->statements.data + s;
    if (!taken[s] || whole_build_only(index, statement)) continue;
    zu_array_push(&manifest->statements, s);
    for (u32 o = 0; o < statement->output_count; ++o) {
      NinjaToken token = index->tokens.data[statement->outputs + o];
      const NinjaPathKey* member =
          zu_binary_search(&index->pack_members, ninja_index_path_hash(index, token));
      if (!member || member->statement >= index->pack_types.count) continue;
      WatchMember* added = zu_array_push_zeroed(&manifest->members);
      ninja_index_path(index, token, &added->path);
      added->type = index->pack_types.data[member->statement];
      added->modified = filesystem_get_last_modified_time(zu_string_text(&added->path));
      zu_array_push(&manifest->always, (u8)(taken[s] == 1));
    }
  }
  zu_array_destroy(&queue);
  sys_free(taken);
}

void watch_manifest_destroy(WatchManifest* manifest) {
  for (u32 i = 0; i < manifest->members.count; ++i)
    zu_string_destroy(&manifest->members.data[i].path);
  zu_array_destroy(&manifest->members);
  zu_array_destroy(&manifest->always);
  zu_array_destroy(&manifest->statements);
}

bool watch_manifest_write(const NinjaIndex* index, const WatchManifest* manifest, const char* path,
                          const char* builddir) {
  ZuFile* file = filesystem_file_create(path, 1, 0);
  if (!file) return false;
  const char* text = index->text.data;
  filesystem_file_write(file, text, index->header_end);
  // Ninja keeps its logs in builddir: the build's own log stays as the
  // whole build left it, and this one stays small (a log of 100,000 steps
  // takes Ninja a fifth of a second to read).
  ZuString line;
  zu_string_init(&line, "\nbuilddir = ");
  for (const char* at = builddir; *at; ++at) {
    if (*at == '$' || *at == ':' || *at == ' ') zu_string_add_char(&line, '$');
    zu_string_add_char(&line, *at);
  }
  zu_string_add_text(&line, "\n\n");
  filesystem_file_write(file, zu_string_text(&line), zu_string_size(&line));
  zu_string_destroy(&line);
  for (u32 i = 0; i < manifest->statements.count; ++i) {
    const NinjaStatement* statement = index->statements.data + manifest->statements.data[i];
    filesystem_file_write(file, text + statement->begin, statement->end - statement->begin);
    filesystem_file_write(file, "\n", 1);
  }
  return filesystem_file_destroy(file);
}
