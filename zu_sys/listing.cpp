// SPDX-License-Identifier: Zlib
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

namespace {

// All paths of one listing, back to back, each with its NUL.
struct Listing {
  char* text;
  u64 text_size;
  u64 text_capacity;
  u64* offsets;  // start of each path in text
  u64 count;
  u64 capacity;
};

void listing_add(Listing* listing, const char* path, u64 length) {
  if (length + 1 > ZU_PATH_SLOT)
    sys_exit(-1, "ERROR: Path '%s' is longer than %u characters, aborting...", path,
             ZU_PATH_SLOT - 1);
  if (listing->text_size + length + 1 > listing->text_capacity) {
    u64 capacity = listing->text_capacity ? listing->text_capacity * 2 : 64 * 1024;
    while (capacity < listing->text_size + length + 1) capacity *= 2;
    char* text = (char*)sys_malloc(capacity);
    if (listing->text) memcpy(text, listing->text, listing->text_size);
    sys_free(listing->text);
    listing->text = text;
    listing->text_capacity = capacity;
  }
  if (listing->count == listing->capacity) {
    u64 capacity = listing->capacity ? listing->capacity * 2 : 1024;
    u64* offsets = (u64*)sys_malloc(capacity * sizeof(u64));
    if (listing->offsets) memcpy(offsets, listing->offsets, listing->count * sizeof(u64));
    sys_free(listing->offsets);
    listing->offsets = offsets;
    listing->capacity = capacity;
  }
  listing->offsets[listing->count++] = listing->text_size;
  memcpy(listing->text + listing->text_size, path, length + 1);
  listing->text_size += length + 1;
}

void listing_free(Listing* listing) {
  sys_free(listing->text);
  sys_free(listing->offsets);
  memset(listing, 0, sizeof(*listing));
}

// A folder being walked, so that a link back to it is not followed again.
struct Visit {
  dev_t device;
  ino_t inode;
  const Visit* parent;
};

struct Walk {
  Listing* listing;
  bool recursive;
  bool include_directories;
  // Folders alone, and what a listing of files stops at (a path too long
  // for a slot, a device or a pipe) left out instead: for a watcher, which
  // goes on whatever a tree holds.
  bool folders_only;
  char path[ZU_PATH_SLOT * 2];  // the listed path of the folder being walked
};

// The links already named. A process may list one folder more than once
// (generation with --tov-regenerate also lists its folders); each link is
// named once.
pthread_mutex_t g_said_lock = PTHREAD_MUTEX_INITIALIZER;
Listing g_said;

bool first_mention(const char* path) {
  pthread_mutex_lock(&g_said_lock);
  bool seen = false;
  for (u64 i = 0; i < g_said.count && !seen; ++i)
    seen = strcmp(g_said.text + g_said.offsets[i], path) == 0;
  if (!seen) listing_add(&g_said, path, strlen(path));
  pthread_mutex_unlock(&g_said_lock);
  return !seen;
}

// A link that cannot be followed is left out, and said once: whoever lists
// the folder would otherwise lose the file it names without a word (in a
// packaged tree, often a file of another package). error is fstatat's.
void report_dangling(int folder, const char* name, const char* path, int error) {
  char target[ZU_PATH_SLOT];
  ssize_t length = readlinkat(folder, name, target, sizeof(target) - 1);
  if (length < 0 || !first_mention(path)) return;  // no link: it went away while listed
  target[length] = 0;
  if (error == ENOENT || error == ENOTDIR)
    sys_printf("WARNING: '%s' is a link to '%s', which does not exist: left out\n", path, target);
  else  // a loop of links, or a target the user may not reach
    sys_printf("WARNING: '%s' is a link to '%s', which cannot be followed (%s): left out\n", path,
               target, strerror(error));
}

void walk(Walk* state, int folder, u64 path_length, const Visit* visit) {
  DIR* dir = fdopendir(folder);
  if (!dir) {
    close(folder);
    return;
  }
  while (dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    u64 name_length = strlen(name);
    u64 length = path_length + name_length;
    char* path = state->path;
    if (length + 2 > sizeof(state->path) || (state->folders_only && length + 1 > ZU_PATH_SLOT)) {
      if (state->folders_only) continue;
      path[path_length] = 0;
      sys_exit(-1, "ERROR: Path '%s%s' is longer than %u characters, aborting...", path, name,
               ZU_PATH_SLOT - 1);
    }
    memcpy(path + path_length, name, name_length + 1);
    bool is_dir = entry->d_type == DT_DIR;
    bool is_file = entry->d_type == DT_REG;
    struct stat info;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      if (fstatat(dirfd(dir), name, &info, 0) != 0) {
        report_dangling(dirfd(dir), name, path, errno);
        continue;
      }
      is_dir = S_ISDIR(info.st_mode);
      is_file = S_ISREG(info.st_mode);
    } else if (is_dir && state->recursive) {
      if (fstatat(dirfd(dir), name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    }
    if (state->folders_only && !is_dir) continue;
    // A device or a pipe would be read without end, or wait for ever.
    if (!is_dir && !is_file)
      sys_exit(-1, "ERROR: '%s' is not a regular file (a device, a pipe or a socket), aborting...",
               path);
    if (!is_dir) {
      listing_add(state->listing, path, length);
      continue;
    }
    if (state->include_directories) listing_add(state->listing, path, length);
    if (!state->recursive) continue;
    bool loop = false;
    for (const Visit* at = visit; at; at = at->parent)
      if (at->device == info.st_dev && at->inode == info.st_ino) loop = true;
    if (loop) continue;
    int child = openat(dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (child < 0) continue;
    Visit inner = {info.st_dev, info.st_ino, visit};
    path[length] = '/';
    path[length + 1] = 0;
    walk(state, child, length + 1, &inner);
    path[path_length] = 0;
  }
  closedir(dir);
}

int compare_paths(const void* a, const void* b, void* text) {
  return strcmp((const char*)text + *(const u64*)a, (const char*)text + *(const u64*)b);
}

void list(Listing* listing, const char* directory, const char* base, bool recursive,
          bool include_directories, bool folders_only = false) {
  memset(listing, 0, sizeof(*listing));
  int base_folder = AT_FDCWD;
  if (base && base[0] && directory[0] != '/') {
    base_folder = open(base, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (base_folder < 0) return;
  }
  const char* open_path = directory[0] ? directory : ".";
  int folder = openat(base_folder, open_path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (base_folder != AT_FDCWD) close(base_folder);
  if (folder < 0) return;
  struct stat info;
  fstat(folder, &info);
  Visit visit = {info.st_dev, info.st_ino, nullptr};
  Walk* state = (Walk*)sys_malloc(sizeof(Walk));
  state->listing = listing;
  state->recursive = recursive;
  state->include_directories = include_directories;
  state->folders_only = folders_only;
  u64 length = strlen(directory);
  if (length + 2 > sizeof(state->path) && folders_only) {
    sys_free(state);
    close(folder);
    return;
  }
  if (length + 2 > sizeof(state->path))
    sys_exit(-1, "ERROR: Path '%s' is longer than %u characters, aborting...", directory,
             ZU_PATH_SLOT - 1);
  memcpy(state->path, directory, length + 1);
  if (length > 0 && directory[length - 1] != '/') state->path[length++] = '/';
  state->path[length] = 0;
  walk(state, folder, length, &visit);
  sys_free(state);
  if (listing->count > 1)  // an empty folder has no offsets yet
    qsort_r(listing->offsets, listing->count, sizeof(u64), compare_paths, listing->text);
}

// The driver counts first and fills second; the listing of the count call is
// kept for the fill call so the tree is walked once.
struct Cached {
  char* key;  // directory, base and flags of the listing
  Listing listing;
};

pthread_mutex_t g_cache_lock = PTHREAD_MUTEX_INITIALIZER;
Cached g_cache;

char* make_key(const char* directory, const char* base, bool recursive, bool include_dirs) {
  u64 a = strlen(directory), b = base ? strlen(base) : 0;
  char* key = (char*)sys_malloc(a + b + 4);
  memcpy(key, directory, a);
  key[a] = 0;
  if (b) memcpy(key + a + 1, base, b);
  key[a + 1 + b] = (char)('0' + recursive * 2 + include_dirs);
  key[a + 2 + b] = 0;
  return key;
}

bool key_equal(const char* a, const char* b) {
  if (!a || !b) return false;
  u64 first = strlen(a);
  if (strcmp(a, b) != 0) return false;
  return strcmp(a + first + 1, b + first + 1) == 0;
}

}  // namespace

u64 filesystem_list_directory_files(const char* directory, const char* base_directory,
                                    bool recursive, bool include_directories,
                                    char (*slots)[ZU_PATH_SLOT], u64 capacity) {
  char* key = make_key(directory, base_directory, recursive, include_directories);
  Listing listing;
  pthread_mutex_lock(&g_cache_lock);
  bool cached = key_equal(g_cache.key, key);
  if (cached) {
    listing = g_cache.listing;
    sys_free(g_cache.key);
    memset(&g_cache, 0, sizeof(g_cache));
  }
  pthread_mutex_unlock(&g_cache_lock);
  if (!cached) list(&listing, directory, base_directory, recursive, include_directories);
  u64 count = listing.count;
  if (!slots) {
    pthread_mutex_lock(&g_cache_lock);
    sys_free(g_cache.key);
    listing_free(&g_cache.listing);
    g_cache.key = key;
    g_cache.listing = listing;
    pthread_mutex_unlock(&g_cache_lock);
    return count;
  }
  if (count > capacity) count = capacity;
  for (u64 i = 0; i < count; ++i) {
    const char* path = listing.text + listing.offsets[i];
    memcpy(slots[i], path, strlen(path) + 1);
  }
  listing_free(&listing);
  sys_free(key);
  return count;
}

u64 filesystem_list_folders(const char* directory, char (*slots)[ZU_PATH_SLOT], u64 capacity) {
  Listing listing;
  list(&listing, directory, nullptr, true, true, true);
  u64 count = listing.count < capacity ? listing.count : capacity;
  for (u64 i = 0; slots && i < count; ++i) {
    const char* path = listing.text + listing.offsets[i];
    memcpy(slots[i], path, strlen(path) + 1);
  }
  count = listing.count;
  listing_free(&listing);
  return count;
}
