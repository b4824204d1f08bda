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

bool find_equal_texts(const char* const* texts, u32 count, u32* first, u32* second,
                      const char* const* owners) {
  ZuArray<NameKey> keys = {};
  for (u32 i = 0; i < count; ++i)
    zu_array_push(&keys, NameKey{zu_hash(texts[i], strlen(texts[i])), i});
  zu_sort_array(&keys);
  bool found = false;
  for (u32 k = 1; k < keys.count && !found; ++k) {
    if (keys.data[k].hash != keys.data[k - 1].hash) continue;
    u32 a = keys.data[k - 1].index, b = keys.data[k].index;
    found = sys_strequal(texts[a], texts[b]) && (!owners || !sys_strequal(owners[a], owners[b]));
    *first = a < b ? a : b;
    *second = a < b ? b : a;
  }
  zu_array_destroy(&keys);
  return found;
}

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
  ZuArray<const char*> texts = {};
  for (u32 i = 0; i < names->count; ++i) {
    char* name = names->data[i].text;
    tov_archive_normalize_name(name, name, ZU_PATH_SLOT);
    zu_array_push(&texts, (const char*)name);
  }
  u32 first, second;
  if (find_equal_texts(texts.data, texts.count, &first, &second))
    sys_exit(-1, "ERROR: '%s' and '%s' both become '%s' in the archive, aborting...",
             sources->data[first].text, sources->data[second].text, names->data[first].text);
  zu_array_destroy(&texts);
}
