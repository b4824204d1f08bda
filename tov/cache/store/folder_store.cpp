// SPDX-License-Identifier: Zlib
// A cache in a folder (file:///path[?max_size=20G]), which processes on
// many machines may share over NFS: an entry is one file, written whole
// beside its place and renamed into it, so a reader sees an old entry, a
// new one or none. Entries are spread over 16 subfolders by their key's
// first digit. A hit touches its file; when a subfolder grows past its
// share of the bound, its least recently used files go first.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../cache_store.h"
#include "zu_array.h"

namespace {

struct Folder {
  char root[1024];
  u64 max_size;
};

constexpr u64 kDefaultMaxSize = 10ull << 30;
constexpr u32 kSubfolders = 16;

u32 digit(char c) { return c >= 'a' ? (u32)(c - 'a' + 10) : (u32)(c - '0'); }

void entry_path(const Folder* store, const char* key, char* out, u64 size) {
  sys_snprintf(out, size, "%s/%c/%s", store->root, key[0], key);
}

bool parse_size(const char* text, u64* out) {
  char* end = nullptr;
  double value = strtod(text, &end);
  u64 unit = 1;
  if (*end == 'K' || *end == 'k') unit = 1ull << 10;
  if (*end == 'M' || *end == 'm') unit = 1ull << 20;
  if (*end == 'G' || *end == 'g') unit = 1ull << 30;
  if (unit != 1) ++end;
  if (end == text || *end || !(value > 0)) return false;
  *out = (u64)(value * (double)unit);
  return true;
}

struct Entry {
  u64 time;
  u64 size;
  u32 slot;
};

// Removes the least recently used files of one subfolder until it holds
// its share of the bound.
void trim(const Folder* store, char first) {
  char folder[1100];
  sys_snprintf(folder, sizeof(folder), "%s/%c", store->root, first);
  u64 count = filesystem_list_directory_files(folder, "", false, false, nullptr, 0);
  if (count == 0) return;
  char(*slots)[ZU_PATH_SLOT] = (char(*)[ZU_PATH_SLOT])sys_malloc(count * ZU_PATH_SLOT);
  count = filesystem_list_directory_files(folder, "", false, false, slots, count);
  ZuArray<Entry> entries = {};
  u64 total = 0;
  for (u64 i = 0; i < count; ++i) {
    Entry entry = {filesystem_get_last_modified_time(slots[i]), filesystem_get_size(slots[i]),
                   (u32)i};
    total += entry.size;
    zu_array_push(&entries, entry);
  }
  u64 share = store->max_size / kSubfolders;
  // Oldest first (selection of the next oldest: trims are rare and short).
  while (total > share && entries.count > 0) {
    u32 oldest = 0;
    for (u32 i = 1; i < entries.count; ++i)
      if (entries.data[i].time < entries.data[oldest].time) oldest = i;
    filesystem_remove_file(slots[entries.data[oldest].slot]);
    total -= entries.data[oldest].size;
    entries.data[oldest] = entries.data[entries.count - 1];
    --entries.count;
  }
  zu_array_destroy(&entries);
  sys_free(slots);
}

void* folder_open(const char* rest, char* error, u64 error_size) {
  Folder* store = (Folder*)sys_malloc(sizeof(Folder));
  store->max_size = kDefaultMaxSize;
  const char* query = strchr(rest, '?');
  u64 length = query ? (u64)(query - rest) : strlen(rest);
  if (length == 0 || rest[0] != '/' || length >= sizeof(store->root) ||
      (query &&
       (strncmp(query, "?max_size=", 10) != 0 || !parse_size(query + 10, &store->max_size)))) {
    sys_snprintf(error, error_size,
                 "'file://%s' is no cache folder (file:///absolute/path[?max_size=20G])", rest);
    sys_free(store);
    return nullptr;
  }
  memcpy(store->root, rest, length);
  store->root[length] = 0;
  if (!(filesystem_get_attr(store->root) & ZU_ATTR_EXISTS)) {
    // Made on first use, as a folder beside would be by a write.
    char probe[1100];
    sys_snprintf(probe, sizeof(probe), "%s/.tov_cache", store->root);
    ZuFile* file = filesystem_file_create(probe, 1, 0);
    if (!file || !filesystem_file_destroy(file)) {
      sys_snprintf(error, error_size, "the cache folder '%s' cannot be made", store->root);
      sys_free(store);
      return nullptr;
    }
  }
  return store;
}

i32 folder_get(void* state, const char* key, u8** data, u64* size, char* error, u64 error_size) {
  const Folder* store = (const Folder*)state;
  char path[1200];
  entry_path(store, key, path, sizeof(path));
  ZuFile* file = filesystem_file_create(path, 0, 0);
  if (!file) return kCacheAbsent;
  *size = filesystem_file_size(file);
  *data = (u8*)sys_malloc(*size + 1);
  bool ok = filesystem_file_read(file, *data, *size) == *size;
  filesystem_file_destroy(file);
  if (!ok) {
    sys_snprintf(error, error_size, "'%s' cannot be read", path);
    sys_free(*data);
    return kCacheFailed;
  }
  filesystem_touch(path);  // recently used: trimmed last
  return kCacheFound;
}

bool folder_put(void* state, const char* key, const u8* data, u64 size, char* error,
                u64 error_size) {
  const Folder* store = (const Folder*)state;
  if (size > store->max_size / kSubfolders) {
    sys_snprintf(error, error_size, "an entry of %llu bytes does not fit the cache's bound",
                 (unsigned long long)size);
    return false;
  }
  char path[1200];
  entry_path(store, key, path, sizeof(path));
  for (u32 attempt = 0; attempt < 2; ++attempt) {
    ZuFile* file = filesystem_file_create(path, 1, 0);
    bool ok = file && filesystem_file_write(file, data, size) == size;
    if (file && !ok) filesystem_file_discard(file);
    if (ok && filesystem_file_destroy(file)) {
      // One store in 32 (by key) looks at its subfolder's size.
      if ((digit(key[1]) * 16 + digit(key[2])) % 32 == 0) trim(store, key[0]);
      return true;
    }
    trim(store, key[0]);  // a full disk: make room, then once more
  }
  sys_snprintf(error, error_size, "'%s' cannot be written (is the disk full?)", path);
  return false;
}

void folder_close(void* state) { sys_free(state); }

}  // namespace

const CacheStoreKind kFolderStore = {"file://", folder_open, folder_get, folder_put, folder_close};
