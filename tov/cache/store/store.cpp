// SPDX-License-Identifier: Zlib
// cache.x86_64: the cache's stores behind one C interface, chosen by the
// URL's scheme. hiredis lives here, so steps of builds without a cache
// never load it.
#include "../cache_store.h"

#include <string.h>

struct CacheStore {
  const CacheStoreKind* kind;
  void* state;
};

extern "C" {

ZU_EXPORT CacheStore* cache_store_open(const char* url, char* error, u64 error_size) {
  const CacheStoreKind* const kinds[] = {&kFolderStore, &kRedisStore};
  for (const CacheStoreKind* kind : kinds) {
    u64 length = strlen(kind->scheme);
    if (strncmp(url, kind->scheme, length) != 0) continue;
    void* state = kind->open(url + length, error, error_size);
    if (!state) return nullptr;
    CacheStore* store = (CacheStore*)sys_malloc(sizeof(CacheStore));
    *store = {kind, state};
    return store;
  }
  sys_snprintf(error, error_size, "'%s' is no cache URL (file:///path or redis://host:port[/db])",
               url);
  return nullptr;
}

ZU_EXPORT i32 cache_store_get(CacheStore* store, const char* key, u8** data, u64* size, char* error,
                              u64 error_size) {
  return store->kind->get(store->state, key, data, size, error, error_size);
}

ZU_EXPORT bool cache_store_put(CacheStore* store, const char* key, const u8* data, u64 size,
                               char* error, u64 error_size) {
  return store->kind->put(store->state, key, data, size, error, error_size);
}

ZU_EXPORT void cache_store_close(CacheStore* store) {
  if (!store) return;
  store->kind->close(store->state);
  sys_free(store);
}
}
