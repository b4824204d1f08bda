// SPDX-License-Identifier: Zlib
// Between the build steps and the cache's storage library (cache.x86_64,
// loaded only by steps of a build generated with --tov-cache): bytes under
// keys, in a folder (file:///path) or in Redis (redis://host:port[/db]).
// Every failure is reported in error (a NUL-terminated text) and left to
// the caller, which builds without the cache rather than fail.
#pragma once

#include "zu_sys.h"

struct CacheStore;

enum CacheGet : i32 { kCacheFailed = -1, kCacheAbsent = 0, kCacheFound = 1 };

extern "C" {
// Opens the store a URL names; null when it cannot be reached.
typedef CacheStore* (*CacheStoreOpen)(const char* url, char* error, u64 error_size);
// Fetches key's bytes into *data (sys_malloc'd) and *size.
typedef i32 (*CacheStoreGet)(CacheStore* store, const char* key, u8** data, u64* size, char* error,
                             u64 error_size);
// Stores the bytes under key, replacing what it held.
typedef bool (*CacheStorePut)(CacheStore* store, const char* key, const u8* data, u64 size,
                              char* error, u64 error_size);
typedef void (*CacheStoreClose)(CacheStore* store);
}

// The kinds of stores a URL may name, each with its functions over its own
// state.
struct CacheStoreKind {
  const char* scheme;  // "file://", "redis://"
  void* (*open)(const char* rest, char* error, u64 error_size);
  i32 (*get)(void* state, const char* key, u8** data, u64* size, char* error, u64 error_size);
  bool (*put)(void* state, const char* key, const u8* data, u64 size, char* error, u64 error_size);
  void (*close)(void* state);
};
extern const CacheStoreKind kFolderStore;
extern const CacheStoreKind kRedisStore;
