// SPDX-License-Identifier: Zlib
#include "queued_sources.h"

#include "command_option.h"
#include "tov/tov_archive.h"
#include "zu_sort.h"

ZU_COMMAND_OPTION(g_tov_ignore, 0, "tov-ignore",
                  "Leave out source files whose path or file name matches one of these patterns "
                  "(*, ?, [...]; i.e. --tov-ignore '*.swp' Thumbs.db)",
                  kOptionMany, kOptionString);
ZU_COMMAND_OPTION(g_tov_normalize_names, 0, "tov-normalize-names",
                  "Make archive names from source names: ASCII letters lower-cased, every other "
                  "byte outside a-z 0-9 . / _ becomes '_'",
                  kOptionFlag, kOptionNone);

bool queued_sources_ignored(const char* path) {
  const char* slash = sys_strrchr(path, '/');
  const char* file_name = slash ? slash + 1 : path;
  for (u64 i = 0; i < command_option_count(&g_tov_ignore); ++i) {
    const char* pattern = zu_string_text(command_option_value(&g_tov_ignore, i));
    if (sys_glob_match(pattern, path) || sys_glob_match(pattern, file_name)) return true;
  }
  return false;
}

namespace {

// A name's hash first, so names sort by it with the engine's sort.
struct NameKey {
  u64 hash;
  u32 index;
};

}  // namespace

void refuse_equal_names(const char* const* texts, const char* const* sources, u32 count,
                        const char* const* owners) {
  ZuArray<NameKey> keys = {};
  for (u32 i = 0; i < count; ++i)
    zu_array_push(&keys, NameKey{zu_hash(texts[i], strlen(texts[i])), i});
  zu_sort_array(&keys);
  ZuArray<u64> pairs = {};  // lower index in the high half, so they sort in list order
  for (u32 k = 1; k < keys.count; ++k) {
    if (keys.data[k].hash != keys.data[k - 1].hash) continue;
    u32 a = keys.data[k - 1].index, b = keys.data[k].index;
    if (!sys_strequal(texts[a], texts[b]) || (owners && sys_strequal(owners[a], owners[b])))
      continue;
    zu_array_push(&pairs, a < b ? (u64)a << 32 | b : (u64)b << 32 | a);
  }
  zu_array_destroy(&keys);
  if (pairs.count == 0) return;
  zu_sort_array(&pairs);
  ZuString message;
  zu_string_init_empty(&message);
  for (u32 p = 0; p < pairs.count; ++p) {
    u32 a = (u32)(pairs.data[p] >> 32), b = (u32)pairs.data[p];
    char line[3 * ZU_PATH_SLOT];
    sys_snprintf(line, sizeof(line), "ERROR: '%s' and '%s' both become '%s' in the archive%s",
                 sources[a], sources[b], texts[a], p + 1 < pairs.count ? "\n" : ", aborting...");
    zu_string_add_text(&message, line);
  }
  sys_exit(-1, "%s", zu_string_text(&message));
}

void queued_sources_drop_ignored(ZuArray<PathSlot>* sources, ZuArray<PathSlot>* names,
                                 u32* listed_count) {
  if (!command_option_is_set(&g_tov_ignore)) return;
  u32 kept = 0, listed_kept = 0;
  for (u32 i = 0; i < sources->count; ++i) {
    if (queued_sources_ignored(sources->data[i].text)) continue;
    if (i < *listed_count) ++listed_kept;
    if (kept != i) {
      sources->data[kept] = sources->data[i];
      names->data[kept] = names->data[i];
    }
    ++kept;
  }
  sources->count = kept;
  names->count = kept;
  *listed_count = listed_kept;
}

bool queued_names_normalized(void) { return command_option_is_set(&g_tov_normalize_names); }

void queued_sources_normalize_names(const ZuArray<PathSlot>* sources, ZuArray<PathSlot>* names) {
  if (!command_option_is_set(&g_tov_normalize_names)) return;
  ZuArray<const char*> texts = {}, paths = {};
  for (u32 i = 0; i < names->count; ++i) {
    char* name = names->data[i].text;
    tov_archive_normalize_name(name, name, ZU_PATH_SLOT);
    zu_array_push(&texts, (const char*)name);
    zu_array_push(&paths, (const char*)sources->data[i].text);
  }
  refuse_equal_names(texts.data, paths.data, texts.count);
  zu_array_destroy(&texts);
  zu_array_destroy(&paths);
}
