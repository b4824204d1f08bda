// SPDX-License-Identifier: Zlib
// The module loader: libraries by short name, each with the libraries its
// zu_init asks for, cross-linked pairwise through initialize_pointers_<name>.
#include "command_option.h"
#include "reactor.h"

namespace {

constexpr u32 kQueueRoom = 256;

bool queued(const ZuSmallArray<const char*, kQueueRoom>* queue, const char* name) {
  const char* const* names = zu_small_array_data(queue);
  for (u32 i = 0; i < zu_small_array_count(queue); ++i)
    if (strcmp(names[i], name) == 0) return true;
  return false;
}

ZuShared* create(const char* name) {
  ZuContextPair context = {zu_host(), command_option_head()};
  return shared_shared_create(name, 1, &context);
}

void cross_link(ZuArray<ZuShared*>* libraries, u32 slot) {
  ZuShared* added = libraries->data[slot];
  const char* added_name = shared_shared_get_name(added);
  char symbol[256];
  for (u32 i = 0; i < libraries->count; ++i) {
    ZuShared* other = libraries->data[i];
    if (i == slot) continue;
    sys_snprintf(symbol, sizeof(symbol), "initialize_pointers_%s", shared_shared_get_name(other));
    if (auto link = (InitializePointersFunction)shared_shared_load_function(added, symbol))
      link(other);
    sys_snprintf(symbol, sizeof(symbol), "initialize_pointers_%s", added_name);
    if (auto link = (InitializePointersFunction)shared_shared_load_function(other, symbol))
      link(added);
  }
}

// Loads one library; deps receives what its zu_init asks for.
bool load_one(ZuArray<ZuShared*>* libraries, const char* name, u8 reload,
              const char* const** deps) {
  u32 slot = libraries->count;
  for (u32 i = 0; i < libraries->count; ++i)
    if (libraries->data[i] && strcmp(shared_shared_get_name(libraries->data[i]), name) == 0)
      slot = i;
  void* state = nullptr;
  u8 reloaded = 0;
  if (slot < libraries->count) {
    if (!reload) return true;
    ZuShared* old = libraries->data[slot];
    if (auto fini = (ZuFiniFunction)shared_shared_load_function(old, "zu_fini")) state = fini(1);
    shared_shared_destroy(old);
    libraries->data[slot] = create(name);
    reloaded = 1;
  } else {
    zu_array_push(libraries, create(name));
  }
  if (!libraries->data[slot]) {
    zu_array_remove(libraries, slot);
    return false;
  }
  cross_link(libraries, slot);
  if (auto init = (ZuInitFunction)shared_shared_load_function(libraries->data[slot], "zu_init"))
    init(state, reloaded, deps);
  return true;
}

}  // namespace

bool reactor_load_library(ZuArray<ZuShared*>* libraries, const char* name, u8 reload) {
  ZuSmallArray<const char*, kQueueRoom> queue;
  zu_small_array_init(&queue);
  zu_small_array_push(&queue, name);
  bool ok = true;
  // The queue grows while it is walked.
  for (u32 i = 0; i < zu_small_array_count(&queue); ++i) {
    const char* next = zu_small_array_data(&queue)[i];
    const char* const* deps = nullptr;
    if (!load_one(libraries, next, reload, &deps)) {
      sys_printf("Loading library %s FAILED\n", next);
      if (const char* reason = shared_shared_last_error(); reason[0])
        sys_printf("  %s\n", reason);
      ok = false;
      break;
    }
    for (; deps && *deps; ++deps)
      if (!queued(&queue, *deps)) zu_small_array_push(&queue, *deps);
  }
  zu_small_array_destroy(&queue);
  return ok;
}

void reactor_unload_libraries(ZuArray<ZuShared*>* libraries) {
  for (u32 i = 0; i < libraries->count; ++i) {
    ZuShared* library = libraries->data[i];
    if (auto fini = (ZuFiniFunction)shared_shared_load_function(library, "zu_fini")) fini(0);
    shared_shared_destroy(library);
  }
  zu_array_destroy(libraries);
}

ZuShared* reactor_find_library(ZuArray<ZuShared*>* libraries, const char* name) {
  for (u32 i = 0; i < libraries->count; ++i)
    if (strcmp(shared_shared_get_name(libraries->data[i]), name) == 0) return libraries->data[i];
  return nullptr;
}

bool reactor_library_is_loaded(ZuArray<ZuShared*>* libraries, const char* name) {
  return reactor_find_library(libraries, name) != nullptr;
}

void* reactor_library_function(ZuArray<ZuShared*>* libraries, const char* library,
                               const char* symbol) {
  ZuShared* found = reactor_find_library(libraries, library);
  return found ? shared_shared_load_function(found, symbol) : nullptr;
}
