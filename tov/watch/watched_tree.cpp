// SPDX-License-Identifier: Zlib
#include "watched_tree.h"

#include "command_option.h"
#include "queued_sources.h"
#include "zu_sort.h"

namespace {

struct Slot {
  char text[ZU_PATH_SLOT];
};

u64 text_hash(const char* text, u64 length) { return zu_hash(text, length); }

bool begins_with_folder(const char* path, const ZuString* folder) {
  return sys_strbegin(path, zu_string_text(folder));
}

bool excluded(const WatchedTree* tree, const char* folder_with_slash) {
  for (u32 i = 0; i < tree->excluded.count; ++i)
    if (begins_with_folder(folder_with_slash, tree->excluded.data + i)) return true;
  return false;
}

// Watches one folder (path without a final '/'), unless it is watched
// already or the build writes there.
bool watch_folder(WatchedTree* tree, const char* folder) {
  u64 length = strlen(folder);
  ZuString with_slash;
  zu_string_init(&with_slash, folder);
  zu_string_add_char(&with_slash, '/');
  bool skip = excluded(tree, zu_string_text(&with_slash));
  zu_string_destroy(&with_slash);
  if (skip) return false;
  u64 hash = text_hash(folder, length);
  if (zu_binary_search(&tree->folders, hash)) return true;
  if (!filesystem_watch_add(tree->watch, folder)) return false;
  // Kept sorted: a new folder is rare after the start.
  u32 at = 0;
  while (at < tree->folders.count && tree->folders.data[at] < hash) ++at;
  zu_array_insert(&tree->folders, at, hash);
  ++tree->count;
  return true;
}

bool is_folder(const char* path) {
  ZuFileStamp stamp;
  u32 attr = filesystem_get_attr(path);
  return (attr & ZU_ATTR_EXISTS) && !(attr & ZU_ATTR_SPECIAL) &&
         !filesystem_get_stamp(path, &stamp);
}

struct FolderKey {
  u64 hash;
  u32 index;  // in the list of names
};

// The folders build.ninja names, each once: those --tov-regenerate lists
// (every scanned folder) and those of every source a statement reads.
void gather_folders(const NinjaIndex* index, const WatchedTree* tree, ZuArray<ZuString>* out) {
  const char* sdk = ninja_index_variable(index, "sdk");
  const char* working_dir = zu_string_text(&tree->working_dir);
  ZuArray<ZuString> found = {};
  ZuString last;  // sources come folder by folder: most are the folder before
  zu_string_init_empty(&last);
  for (u32 s = 0; s < index->statements.count; ++s) {
    if (s == index->pack || s == index->catalogue) continue;
    const NinjaStatement* statement = index->statements.data + s;
    for (u32 i = 0; i < statement->input_count; ++i) {
      ZuString path;
      ninja_index_path(index, index->tokens.data[statement->inputs + i], &path);
      const char* text = zu_string_text(&path);
      if (sys_strbegin(text, working_dir) && !(sdk[0] && sys_strbegin(text, sdk))) {
        const char* slash = sys_strrchr(text, '/');
        u64 length =
            s == index->regenerate && is_folder(text) ? zu_string_size(&path) : (u64)(slash - text);
        while (length > 1 && text[length - 1] == '/') --length;
        if (length != zu_string_size(&last) || memcmp(text, zu_string_text(&last), length) != 0) {
          zu_string_destroy(&last);
          zu_string_init_text(&last, text, text + length);
          zu_string_init_copy(zu_array_push_zeroed(&found), &last);
        }
      }
      zu_string_destroy(&path);
    }
  }
  zu_string_destroy(&last);
  ZuArray<FolderKey> keys = {};
  for (u32 i = 0; i < found.count; ++i)
    zu_array_push(
        &keys,
        FolderKey{text_hash(zu_string_text(found.data + i), zu_string_size(found.data + i)), i});
  zu_sort_array(&keys);
  for (u32 k = 0; k < keys.count; ++k) {
    ZuString* folder = found.data + keys.data[k].index;
    if (k == 0 || keys.data[k].hash != keys.data[k - 1].hash)
      zu_array_push(out, *folder);  // taken over by out
    else
      zu_string_destroy(folder);
  }
  found.count = 0;  // each one taken over or destroyed above
  zu_array_destroy(&keys);
  zu_array_destroy(&found);
}

// Adds the folders of index, and records the roots: folders whose parent
// is not among them, and under which new assets may appear.
void add_folders(WatchedTree* tree, const NinjaIndex* index) {
  ZuArray<ZuString> folders = {};
  gather_folders(index, tree, &folders);
  ZuArray<u64> hashes = {};
  for (u32 i = 0; i < folders.count; ++i)
    zu_array_push(&hashes,
                  text_hash(zu_string_text(folders.data + i), zu_string_size(folders.data + i)));
  zu_sort_array(&hashes);
  for (u32 i = 0; i < folders.count; ++i) {
    const char* folder = zu_string_text(folders.data + i);
    watched_tree_add(tree, folder);
    const char* slash = sys_strrchr(folder, '/');
    u64 parent = slash ? (u64)(slash - folder) : 0;
    if (parent > 0 && zu_binary_search(&hashes, text_hash(folder, parent))) continue;
    ZuString root;
    zu_string_init(&root, folder);
    zu_string_add_char(&root, '/');
    bool known = false;
    for (u32 r = 0; r < tree->roots.count && !known; ++r)
      known = zu_string_equal(tree->roots.data + r, &root);
    if (known) {
      zu_string_destroy(&root);
      continue;
    }
    zu_array_push(&tree->roots, root);
    // Its parent too, so that the root deleted and made again is seen.
    if (parent > 0) {
      ZuString above;
      zu_string_init_text(&above, folder, folder + parent);
      if (!excluded(tree, zu_string_text(&root)))
        filesystem_watch_add(tree->watch, zu_string_text(&above));
      zu_string_destroy(&above);
    }
  }
  zu_array_destroy(&folders);
  zu_array_destroy(&hashes);
}

void add_excluded(WatchedTree* tree, const char* folder) {
  if (!folder[0]) return;
  ZuString* text = zu_array_push_zeroed(&tree->excluded);
  zu_string_init(text, folder);
  ninja_canonical(text);
  if (!sys_strend(zu_string_text(text), "/")) zu_string_add_char(text, '/');
}

}  // namespace

bool watched_tree_create(WatchedTree* tree, const NinjaIndex* index, ZuString* error) {
  memset((void*)tree, 0, sizeof(*tree));
  zu_string_init(&tree->working_dir, ninja_index_variable(index, "wd"));
  ninja_canonical(&tree->working_dir);
  tree->watch = filesystem_watch_create();
  if (!tree->watch) {
    zu_string_init(error, "the system gives no change notification");
    return false;
  }
  // Where the build writes: the intermediate folder, the folder of
  // build.ninja (its parent, as build.ninja's own builddir says) and the
  // archive's.
  const char* intermediate = ninja_index_variable(index, "od");
  add_excluded(tree, intermediate);
  ZuString build_folder;
  zu_string_init(&build_folder, intermediate);
  char* text = zu_string_data(&build_folder);
  u64 length = zu_string_size(&build_folder);
  while (length > 1 && text[length - 1] == '/') --length;
  while (length > 0 && text[length - 1] != '/') --length;
  text[length] = 0;
  add_excluded(tree, text);
  zu_string_destroy(&build_folder);
  add_excluded(tree, ninja_index_variable(index, "fd"));
  add_folders(tree, index);
  // Generation's folders as its arguments gave them (read by the watcher
  // before this, when --tov-regenerate kept them).
  CommandOption* dirs = command_option_find("tov-dir");
  for (u64 i = 0; dirs && i < command_option_count(dirs->handle); ++i) {
    const char* value = zu_string_text(command_option_value(dirs->handle, i));
    const char* bar = sys_strchr(value, '|');
    ZuString* as_given = zu_array_push_zeroed(&tree->scanned_as);
    if (bar)
      zu_string_init_text(as_given, value, bar);
    else
      zu_string_init(as_given, value);
    if (!sys_strend(zu_string_text(as_given), "/")) zu_string_add_char(as_given, '/');
    ZuString* folder = zu_array_push_zeroed(&tree->scanned);
    zu_string_init_copy(folder, &tree->working_dir);
    zu_string_add_text(folder, zu_string_text(as_given));
    ninja_canonical(folder);
    if (!sys_strend(zu_string_text(folder), "/")) zu_string_add_char(folder, '/');
  }
  return true;
}

void watched_tree_update(WatchedTree* tree, const NinjaIndex* index) { add_folders(tree, index); }

void watched_tree_destroy(WatchedTree* tree) {
  filesystem_watch_destroy(tree->watch);
  zu_array_destroy(&tree->folders);
  zu_array_destroy(&tree->roots);
  zu_array_destroy(&tree->excluded);
  zu_array_destroy(&tree->scanned_as);
  zu_array_destroy(&tree->scanned);
  zu_string_destroy(&tree->working_dir);
}

bool watched_tree_add(WatchedTree* tree, const char* folder) {
  if (!watch_folder(tree, folder)) return false;
  // Folders below it, as they are now (one made with its content, or made
  // again after it was deleted).
  u64 count = filesystem_list_folders(folder, nullptr, 0);
  ZuArray<Slot> listed = {};
  zu_array_resize(&listed, count);
  count = filesystem_list_folders(folder, (char(*)[ZU_PATH_SLOT])listed.data, count);
  for (u64 i = 0; i < count && i < listed.count; ++i) watch_folder(tree, listed.data[i].text);
  zu_array_destroy(&listed);
  return true;
}

bool watched_tree_concerns(const WatchedTree* tree, const char* path) {
  if (excluded(tree, path)) return false;
  bool inside = false;
  for (u32 r = 0; r < tree->roots.count && !inside; ++r)
    inside = begins_with_folder(path, tree->roots.data + r);
  if (!inside) return false;
  for (u32 i = 0; i < tree->scanned.count; ++i) {
    if (!begins_with_folder(path, tree->scanned.data + i)) continue;
    ZuString as_scanned;
    zu_string_init_copy(&as_scanned, tree->scanned_as.data + i);
    zu_string_add_text(&as_scanned, path + zu_string_size(tree->scanned.data + i));
    bool ignored = queued_sources_ignored(zu_string_text(&as_scanned));
    zu_string_destroy(&as_scanned);
    if (ignored) return false;
  }
  return !queued_sources_ignored(watched_tree_relative(tree, path));
}

const char* watched_tree_relative(const WatchedTree* tree, const char* path) {
  return sys_strbegin(path, zu_string_text(&tree->working_dir))
             ? path + zu_string_size(&tree->working_dir)
             : path;
}
