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

namespace {

bool ignored(const char* path) {
  const char* slash = sys_strrchr(path, '/');
  const char* file_name = slash ? slash + 1 : path;
  for (u64 i = 0; i < command_option_count(&g_tov_ignore); ++i) {
    const char* pattern = zu_string_text(command_option_value(&g_tov_ignore, i));
    if (sys_glob_match(pattern, path) || sys_glob_match(pattern, file_name)) return true;
  }
  return false;
}

// A name's hash first, so names sort by it with the engine's sort.
struct NameKey {
  u64 hash;
  u32 index;
};

}  // namespace

void queued_sources_drop_ignored(ZuArray<PathSlot>* sources, ZuArray<PathSlot>* names,
                                 u32* listed_count) {
  if (!command_option_is_set(&g_tov_ignore)) return;
  u32 kept = 0, listed_kept = 0;
  for (u32 i = 0; i < sources->count; ++i) {
    if (ignored(sources->data[i].text)) continue;
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
  ZuArray<NameKey> keys = {};
  for (u32 i = 0; i < names->count; ++i) {
    char* name = names->data[i].text;
    u64 length = tov_archive_normalize_name(name, name, ZU_PATH_SLOT);
    zu_array_push(&keys, NameKey{zu_hash(name, length), i});
  }
  zu_sort_array(&keys);
  for (u32 k = 1; k < keys.count; ++k) {
    if (keys.data[k].hash != keys.data[k - 1].hash) continue;
    u32 first = keys.data[k - 1].index, second = keys.data[k].index;
    if (first > second) {
      u32 swap = first;
      first = second;
      second = swap;
    }
    if (sys_strequal(names->data[first].text, names->data[second].text))
      sys_exit(-1, "ERROR: '%s' and '%s' both become '%s' in the archive, aborting...",
               sources->data[first].text, sources->data[second].text, names->data[first].text);
  }
  zu_array_destroy(&keys);
}
