// SPDX-License-Identifier: Zlib
// A cache in Redis (redis://host:port[/db]) through hiredis. Redis bounds
// its memory itself (maxmemory with an LRU policy is the set-up to use). A
// step connects once, with short timeouts: a cache that does not answer
// must not hold the build up.
#include <hiredis/hiredis.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../cache_store.h"

namespace {

const timeval kTimeout = {1, 0};

void say(char* error, u64 error_size, const redisContext* context, const redisReply* reply) {
  sys_snprintf(error, error_size, "redis: %s",
               context->err                                ? context->errstr
               : reply && reply->type == REDIS_REPLY_ERROR ? reply->str
                                                           : "no reply");
}

void* redis_open(const char* rest, char* error, u64 error_size) {
  char host[256];
  unsigned port = 0, db = 0;
  int used = 0;
  if (sscanf(rest, "%255[^:/]:%u%n", host, &port, &used) != 2 || port == 0 || port > 65535 ||
      (rest[used] && (sscanf(rest + used, "/%u", &db) != 1))) {
    sys_snprintf(error, error_size, "'redis://%s' is no Redis URL (redis://host:port[/db])", rest);
    return nullptr;
  }
  redisContext* context = redisConnectWithTimeout(host, (int)port, kTimeout);
  if (!context || context->err) {
    sys_snprintf(error, error_size, "redis %s:%u: %s", host, port,
                 context ? context->errstr : "no memory");
    if (context) redisFree(context);
    return nullptr;
  }
  redisSetTimeout(context, kTimeout);
  if (db) {
    redisReply* reply = (redisReply*)redisCommand(context, "SELECT %u", db);
    bool ok = reply && reply->type == REDIS_REPLY_STATUS;
    if (!ok) say(error, error_size, context, reply);
    if (reply) freeReplyObject(reply);
    if (!ok) {
      redisFree(context);
      return nullptr;
    }
  }
  return context;
}

i32 redis_get(void* state, const char* key, u8** data, u64* size, char* error, u64 error_size) {
  redisContext* context = (redisContext*)state;
  redisReply* reply = (redisReply*)redisCommand(context, "GET tov:%s", key);
  i32 result = kCacheFailed;
  if (reply && reply->type == REDIS_REPLY_NIL) {
    result = kCacheAbsent;
  } else if (reply && reply->type == REDIS_REPLY_STRING) {
    *size = reply->len;
    *data = (u8*)sys_malloc(*size + 1);
    memcpy(*data, reply->str, *size);
    result = kCacheFound;
  } else {
    say(error, error_size, context, reply);
  }
  if (reply) freeReplyObject(reply);
  return result;
}

bool redis_put(void* state, const char* key, const u8* data, u64 size, char* error,
               u64 error_size) {
  redisContext* context = (redisContext*)state;
  redisReply* reply = (redisReply*)redisCommand(context, "SET tov:%s %b", key, data, (size_t)size);
  bool ok = reply && reply->type == REDIS_REPLY_STATUS;
  if (!ok) say(error, error_size, context, reply);
  if (reply) freeReplyObject(reply);
  return ok;
}

void redis_close(void* state) { redisFree((redisContext*)state); }

}  // namespace

const CacheStoreKind kRedisStore = {"redis://", redis_open, redis_get, redis_put, redis_close};
