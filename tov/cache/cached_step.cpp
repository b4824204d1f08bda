// SPDX-License-Identifier: Zlib
// A build step through the cache: asked first, and on a hit the outputs are
// written from it (each whole or not at all) without running the command;
// on a miss the command runs and what it made is stored. Steps that find
// inputs while they run (a depfile names them) keep a manifest under their
// first key: each set of those files and hashes seen, with the result it
// gave, so a changed header never brings back a stale result. A cache that
// cannot be reached or a damaged entry is a warning and a normal run.
#include "cached_step.h"

#include "../build_rules/development_pack.h"

#include "../build_rules/depfile.h"
#include "cache_entry.h"
#include "cache_store.h"
#include "command_option.h"
#include "step_key.h"
#include "tov/tov_build.h"

ZU_COMMAND_OPTION(g_cache, 0, "tov-cache",
                  "Build cache each step asks before it runs (file:///path[?max_size=20G] or "
                  "redis://host:port[/db])",
                  kOptionOne, kOptionString);

namespace {

constexpr u32 kManifestVariants = 16;  // the newest header sets kept per step

struct Cache {
  CacheStore* store;
  CacheStoreGet get;
  CacheStorePut put;
  CacheStoreClose close;
  const char* url;
  char error[512];
};

const char* option_text(const char* name, u64 index) {
  CommandOption* option = command_option_find(name);
  return option && index < command_option_count(&option)
             ? zu_string_text(command_option_value(&option, index))
             : nullptr;
}

u64 option_count(const char* name) {
  CommandOption* option = command_option_find(name);
  return option ? command_option_count(&option) : 0;
}

// The step's depfile, when it writes one (an option named "...depfile").
const char* step_depfile(void) {
  for (CommandOption* option = command_option_head(); option; option = option->next) {
    CommandOption* handle = option;
    if (sys_strend(option->long_name, "depfile") && command_option_is_set(&handle))
      return zu_string_text(command_option_value(&handle, 0));
  }
  return nullptr;
}

bool verbose(void) {
  CommandOption* option = command_option_find("tov-verbose");
  return option && command_option_is_set(&option);
}

void warn(const Cache* cache, const char* what) {
  sys_printf("WARNING: tov cache '%s': %s; building without it\n", cache->url, what);
}

bool open_cache(Cache* cache) {
  *cache = {};
  cache->url = zu_string_text(command_option_value(&g_cache, 0));
  static ZuShared* library = shared_shared_create("cache", 1, zu_host());
  if (!library) {
    sys_snprintf(cache->error, sizeof(cache->error), "the cache library cannot be loaded (%s)",
                 shared_shared_last_error());
    return false;
  }
  auto open = (CacheStoreOpen)shared_shared_load_function(library, "cache_store_open");
  cache->get = (CacheStoreGet)shared_shared_load_function(library, "cache_store_get");
  cache->put = (CacheStorePut)shared_shared_load_function(library, "cache_store_put");
  cache->close = (CacheStoreClose)shared_shared_load_function(library, "cache_store_close");
  if (!open || !cache->get || !cache->put || !cache->close) {
    sys_snprintf(cache->error, sizeof(cache->error), "the cache library is incomplete");
    return false;
  }
  cache->store = open(cache->url, cache->error, sizeof(cache->error));
  return cache->store != nullptr;
}

// Fetches an entry of kind; false when absent, unreadable or damaged (the
// last two with a warning).
bool fetch(Cache* cache, const char* key, CacheEntryKind kind, u8** data, u64* size,
           EntryReader* reader) {
  *data = nullptr;
  i32 got = cache->get(cache->store, key, data, size, cache->error, sizeof(cache->error));
  if (got == kCacheFailed) warn(cache, cache->error);
  if (got != kCacheFound) return false;
  if (entry_open(reader, *data, *size, kind)) return true;
  warn(cache, "a damaged entry was passed over");
  sys_free(*data);
  *data = nullptr;
  return false;
}

void store(Cache* cache, const char* key, const ZuArray<u8>* entry) {
  if (!cache->put(cache->store, key, entry->data, entry->count, cache->error, sizeof(cache->error)))
    sys_printf("WARNING: tov cache '%s': %s; the result is not kept\n", cache->url, cache->error);
}

// The files a depfile step read beyond its inputs, named as the key names
// files, with their hashes now; false when one of them is gone.
bool hash_discovered(const StepPlace* place, const ZuArray<ZuString>* names, ZuArray<u64>* hashes) {
  char path[2048];
  for (u32 i = 0; i < names->count; ++i) {
    const char* name = zu_string_text(names->data + i);
    sys_snprintf(path, sizeof(path), "%s%s", name[0] == '/' ? "" : place->working_dir, name);
    u64 hash = 0;
    if (!step_file_hash(path, &hash)) return false;
    zu_array_push(hashes, hash);
  }
  return true;
}

// The result key: the first key and, for a depfile step, the files it read.
void result_key(const StepKey* first, const ZuArray<ZuString>* names, const ZuArray<u64>* hashes,
                char* out) {
  StepKey key = {};
  zu_array_assign(&key.material, &first->material);
  for (u32 i = 0; i < names->count; ++i) {
    step_key_add_text(&key, zu_string_text(names->data + i));
    step_key_add(&key, hashes->data + i, 8);
  }
  step_key_text(&key, out);
  step_key_destroy(&key);
}

// Looks the step's result key up in the manifest: the first set of files
// whose hashes all hold now. Its names go to names.
bool match_manifest(Cache* cache, const StepPlace* place, const char* key, const StepKey* first,
                    char* result, ZuArray<ZuString>* names) {
  u8* data;
  u64 size;
  EntryReader reader;
  if (!fetch(cache, key, kEntryManifest, &data, &size, &reader)) return false;
  bool found = false;
  u64 variants = entry_get_u64(&reader);
  for (u64 v = 0; v < variants && reader.ok && !found; ++v) {
    u64 files = entry_get_u64(&reader);
    found = reader.ok;
    ZuArray<ZuString> candidate = {};
    ZuArray<u64> expected = {}, now = {};
    for (u64 f = 0; f < files && reader.ok; ++f) {
      u64 length;
      const u8* name = entry_get_bytes(&reader, &length);
      ZuString* text = zu_array_push_zeroed(&candidate);
      zu_string_init_text(text, (const char*)name, (const char*)name + length);
      zu_array_push(&expected, entry_get_u64(&reader));
    }
    found = found && reader.ok && hash_discovered(place, &candidate, &now) &&
            (now.count == 0 || memcmp(now.data, expected.data, now.count * 8) == 0);
    if (found) {
      result_key(first, &candidate, &now, result);
      zu_array_move(names, &candidate);
    }
    zu_array_destroy(&candidate);
    zu_array_destroy(&expected);
    zu_array_destroy(&now);
  }
  sys_free(data);
  return found;
}

// Writes the outputs of a result entry, each whole; false (nothing left
// half-done) when the entry does not fit this step.
bool write_outputs(Cache* cache, const char* key, const StepPlace* place, const char* depfile,
                   ZuArray<ZuString>* names) {
  u8* data;
  u64 size;
  EntryReader reader;
  if (!fetch(cache, key, kEntryResult, &data, &size, &reader)) return false;
  u64 outputs = entry_get_u64(&reader);
  bool ok = reader.ok && outputs == option_count("tov-command-out-file");
  ZuArray<ZuFile*> files = {};
  for (u64 i = 0; ok && i < outputs; ++i) {
    u64 length;
    const u8* bytes = entry_get_bytes(&reader, &length);
    ZuFile* file =
        reader.ok ? filesystem_file_create(option_text("tov-command-out-file", i), 1, 0) : nullptr;
    ok = file && filesystem_file_write(file, bytes, length) == length;
    if (file) zu_array_push(&files, file);
  }
  // Every output, then the depfile, put in place only once all are written.
  for (u32 i = 0; i < files.count; ++i) {
    if (!ok)
      filesystem_file_discard(files.data[i]);
    else if (!filesystem_file_destroy(files.data[i]))
      sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?), exiting...",
               option_text("tov-command-out-file", i));
  }
  zu_array_destroy(&files);
  if (ok && depfile) {
    ZuArray<const char*> inputs = {};
    for (u32 i = 0; i < names->count; ++i) zu_array_push(&inputs, zu_string_text(names->data + i));
    tov_write_depfile(depfile, option_text("tov-command-out-file", 0), place->working_dir,
                      inputs.data, inputs.count);
    zu_array_destroy(&inputs);
  }
  if (!ok) warn(cache, "an entry that does not fit its step was passed over");
  sys_free(data);
  return ok;
}

// After a run: the outputs into a result entry under its key, and for a
// depfile step the set of files it read into the manifest.
void keep_result(Cache* cache, const StepPlace* place, const StepKey* first, const char* key,
                 const char* depfile) {
  ZuArray<ZuString> names = {};
  ZuArray<u64> hashes = {};
  char relative[2048], result[33];
  if (depfile) {
    ZuArray<ZuString> read = {};
    if (!depfile_read(depfile, &read)) {
      zu_array_destroy(&read);
      return;
    }
    for (u32 i = 0; i < read.count; ++i) {
      const char* name =
          step_relative(place, zu_string_text(read.data + i), relative, sizeof(relative));
      zu_string_init(zu_array_push_zeroed(&names), name);
    }
    zu_array_destroy(&read);
    if (!hash_discovered(place, &names, &hashes)) {
      zu_array_destroy(&names);
      zu_array_destroy(&hashes);
      return;
    }
  }
  result_key(first, &names, &hashes, result);
  ZuArray<u8> entry = {};
  entry_begin(&entry, kEntryResult);
  u64 outputs = option_count("tov-command-out-file");
  entry_put_u64(&entry, outputs);
  bool ok = true;
  for (u64 i = 0; ok && i < outputs; ++i) {
    const char* path = option_text("tov-command-out-file", i);
    // Only files are kept (a mirrored folder is not).
    ZuMappedFile* mapping = (filesystem_get_attr(path) &
                             (ZU_ATTR_READABLE_FILE | ZU_ATTR_SPECIAL)) == ZU_ATTR_READABLE_FILE
                                ? filesystem_mapped_file_create(path)
                                : nullptr;
    ok = mapping != nullptr;
    if (!ok) break;
    u64 size = 0;
    const void* bytes = filesystem_mapped_file_get_memory(mapping, &size);
    entry_put_bytes(&entry, bytes, size);
    filesystem_mapped_file_destroy(mapping);
  }
  if (ok) {
    entry_finish(&entry);
    store(cache, result, &entry);
  }
  if (ok && depfile) {
    // This set first, then the sets already kept, up to a bound.
    ZuArray<u8> manifest = {};
    entry_begin(&manifest, kEntryManifest);
    u8* old = nullptr;
    u64 old_size = 0;
    EntryReader reader = {nullptr, nullptr, false};
    u64 kept = 0;
    if (fetch(cache, key, kEntryManifest, &old, &old_size, &reader)) kept = entry_get_u64(&reader);
    if (kept > kManifestVariants - 1) kept = kManifestVariants - 1;
    entry_put_u64(&manifest, 1 + kept);
    entry_put_u64(&manifest, names.count);
    for (u32 i = 0; i < names.count; ++i) {
      entry_put_text(&manifest, zu_string_text(names.data + i));
      entry_put_u64(&manifest, hashes.data[i]);
    }
    for (u64 v = 0; v < kept && reader.ok; ++v) {
      u64 files = entry_get_u64(&reader);
      entry_put_u64(&manifest, files);
      for (u64 f = 0; f < files; ++f) {
        u64 length;
        const u8* name = entry_get_bytes(&reader, &length);
        entry_put_bytes(&manifest, name, length);
        entry_put_u64(&manifest, entry_get_u64(&reader));
      }
    }
    // A damaged old list is dropped rather than copied half.
    if (reader.ok || !old) {
      entry_finish(&manifest);
      store(cache, key, &manifest);
    }
    sys_free(old);
    zu_array_destroy(&manifest);
  }
  zu_array_destroy(&entry);
  zu_array_destroy(&names);
  zu_array_destroy(&hashes);
}

// One letter a step ('h', 'm' or 'f') in a file beside build.ninja; the
// archive step, the last of a build, counts them.
void count(const StepPlace* place, char what) {
  char path[2048];
  sys_snprintf(path, sizeof(path), "%s%s../.tov_cache_steps", place->working_dir,
               place->intermediate_dir);
  filesystem_append(path, &what, 1);
}

void summarize(const StepPlace* place, const char* url) {
  char path[2048];
  sys_snprintf(path, sizeof(path), "%s%s../.tov_cache_steps", place->working_dir,
               place->intermediate_dir);
  ZuFile* file = filesystem_file_create(path, 0, 0);
  u64 counts[3] = {0, 0, 0};
  if (file) {
    char buffer[4096];
    for (u64 got; (got = filesystem_file_read(file, buffer, sizeof(buffer))) > 0;)
      for (u64 i = 0; i < got; ++i) counts[buffer[i] == 'h' ? 0 : buffer[i] == 'm' ? 1 : 2] += 1;
    filesystem_file_destroy(file);
    filesystem_remove_file(path);
  }
  sys_printf("tov cache: %llu hits, %llu misses, %llu steps without the cache (%s)\n",
             (unsigned long long)counts[0], (unsigned long long)counts[1],
             (unsigned long long)counts[2], url);
}

}  // namespace

bool cache_requested(void) { return command_option_is_set(&g_cache); }

u32 cached_step_run(const char* name, const StepPlace* place, u32 (*run)(void*), void* argument) {
  Cache cache;
  if (!open_cache(&cache)) {
    warn(&cache, cache.error);
    count(place, 'f');
    u32 result = run(argument);
    if (sys_strequal(name, "tov")) summarize(place, cache.url);
    return result;
  }
  // A development pack writes an overlay beside its output, or nothing,
  // and reads the archive it replaces: its output alone is no result.
  if (sys_strequal(name, "tov") && development_pack_requested()) {
    count(place, 'f');
    u32 status = run(argument);
    summarize(place, cache.url);
    cache.close(cache.store);
    return status;
  }
  StepKey first;
  step_key_begin(&first, place, name);
  // The manifest's key is the first key's material and a word, so that it
  // never meets a result's key (a step that read no header has one).
  StepKey manifest = {};
  zu_array_assign(&manifest.material, &first.material);
  step_key_add_text(&manifest, "manifest");
  char key[33], result[33];
  step_key_text(&manifest, key);
  step_key_destroy(&manifest);
  const char* depfile = step_depfile();
  ZuArray<ZuString> names = {};
  bool hit = false;
  if (depfile) {
    hit = match_manifest(&cache, place, key, &first, result, &names) &&
          write_outputs(&cache, result, place, depfile, &names);
  } else {
    ZuArray<u64> none = {};
    result_key(&first, &names, &none, result);
    hit = write_outputs(&cache, result, place, nullptr, &names);
  }
  const char* output = option_text("tov-command-out-file", 0);
  char relative[2048];
  if (verbose())
    sys_printf("tov cache: %s %s (%s)\n", hit ? "hit" : "miss",
               output ? step_relative(place, output, relative, sizeof(relative)) : name, key);
  u32 status = 0;
  if (!hit) {
    status = run(argument);
    if (status == 0) keep_result(&cache, place, &first, key, depfile);
  }
  count(place, hit ? 'h' : 'm');
  if (sys_strequal(name, "tov")) summarize(place, cache.url);
  cache.close(cache.store);
  zu_array_destroy(&names);
  step_key_destroy(&first);
  return status;
}
