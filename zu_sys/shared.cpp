// SPDX-License-Identifier: Zlib
#include <dlfcn.h>
#include <string.h>

#include "internal.h"

struct ZuShared {
  void* library;
  char name[64];
};

namespace {
thread_local char g_last_error[512];
}  // namespace

ZuShared* shared_shared_create(const char* name, u32 flags, const void* context) {
  g_last_error[0] = 0;
  u64 length = strlen(name);
  if (length == 0 || length >= sizeof(ZuShared::name) || strchr(name, '/')) {
    sys_snprintf(g_last_error, sizeof(g_last_error), "'%s' is not a module name", name);
    return nullptr;
  }
  char path[4096];
  sys_snprintf(path, sizeof(path), "%s%s.x86_64", filesystem_get_exe_dir(), name);
  void* library = dlopen(path, (flags & ZU_SHARED_LAZY ? RTLD_LAZY : RTLD_NOW) | RTLD_LOCAL);
  if (!library) {
    const char* reason = dlerror();
    sys_strncpy(g_last_error, reason ? reason : path, sizeof(g_last_error));
    return nullptr;
  }
  ZuShared* shared = (ZuShared*)sys_malloc(sizeof(ZuShared));
  shared->library = library;
  memcpy(shared->name, name, length + 1);
  typedef void (*SharedInit)(const void*);
  if (SharedInit init = (SharedInit)dlsym(library, "shared_init")) init(context);
  return shared;
}

const char* shared_shared_get_name(ZuShared* shared) { return shared->name; }

void* shared_shared_load_function(ZuShared* shared, const char* symbol) {
  return dlsym(shared->library, symbol);
}

void shared_shared_destroy(ZuShared* shared) {
  if (!shared) return;
  typedef void (*SharedFini)(void);
  if (SharedFini fini = (SharedFini)dlsym(shared->library, "shared_fini")) fini();
  dlclose(shared->library);
  sys_free(shared);
}

const char* shared_shared_last_error(void) { return g_last_error; }
