// SPDX-License-Identifier: Zlib
// tov --tov-watch BUILD_DIR: watches what build.ninja there was generated
// from and builds after every change, one build for a burst of them. A
// save of files the build already has is built through a manifest of its
// statements alone and lands in the development archive's overlay; what
// needs the whole build (files added or deleted, generation's own inputs,
// an archive packed without --tov-overlay) runs Ninja on build.ninja.
#include "watch.h"

#include "archive/format.h"
#include "command_option.h"
#include "ninja_index.h"
#include "watch_build.h"
#include "watch_manifest.h"
#include "watched_tree.h"
#include "zu_sort.h"

ZU_COMMAND_OPTION(g_tov_watch, 0, "tov-watch",
                  "Watch the folders the build.ninja in this folder was generated from and build "
                  "after every change (Ctrl-C ends)",
                  kOptionOne, kOptionString);
ZU_COMMAND_OPTION(g_tov_ninja, 0, "tov-ninja",
                  "The Ninja the watcher runs (default: ninja, found on PATH)", kOptionOne,
                  kOptionString);
ZU_COMMAND_OPTION(g_tov_watch_settle, 0, "tov-watch-settle",
                  "Milliseconds without a change before the watcher builds (default 50)",
                  kOptionOne, kOptionUint);

namespace {

struct Watcher {
  ZuString build_dir;  // absolute, ending in '/'
  ZuString ninja;
  u32 settle_ms;
  NinjaIndex index;
  WatchedTree tree;
  ZuArray<u32> retry;           // statements whose steps failed: built again next time
  ZuArray<NinjaPathKey> found;  // inputs steps found as they ran (depfiles), by hash
};

// What a burst of changes did to the tree.
struct Changes {
  ZuArray<ZuString> paths;  // each once, as the events named them
  // The paths' hashes, open addressing (0 free): a burst names one file many
  // times (every write of a large one), and a burst may name a whole tree.
  ZuArray<u64> seen;
  ZuArray<u64> modified;  // hashes of sources build.ninja reads, changed
  ZuString names;         // the first few, for the line the build prints
  u32 counts[3];          // changed, added, deleted
  u32 listed;
  bool whole;  // only the whole build can follow
  bool any;
};

void changes_destroy(Changes* changes) {
  zu_array_destroy(&changes->paths);
  zu_array_destroy(&changes->seen);
  zu_array_destroy(&changes->modified);
  zu_string_destroy(&changes->names);
}

// Whether hash was seen before; adds it when not.
bool seen_before(ZuArray<u64>* seen, u64 hash, u32 count) {
  if (hash == 0) hash = 1;  // 0 marks a free slot
  if ((u64)(count + 1) * 2 > seen->count) {
    ZuArray<u64> old = {};
    zu_array_move(&old, seen);
    zu_array_resize(seen, old.count ? (u64)old.count * 2 : 64);
    memset(seen->data, 0, seen->count * sizeof(u64));
    for (u32 i = 0; i < old.count; ++i)
      if (old.data[i]) seen_before(seen, old.data[i], 0);
    zu_array_destroy(&old);
  }
  u64 mask = seen->count - 1;
  for (u64 at = hash & mask;; at = (at + 1) & mask) {
    if (seen->data[at] == hash) return true;
    if (seen->data[at] == 0) {
      seen->data[at] = hash;
      return false;
    }
  }
}

void note(Changes* changes, const char* path) {
  if (seen_before(&changes->seen, zu_hash(path, strlen(path)), changes->paths.count)) return;
  zu_string_init(zu_array_push_zeroed(&changes->paths), path);
}

enum { kChanged, kAdded, kDeleted };
const char* const kKinds[] = {"changed", "added", "deleted"};

void describe(Changes* changes, const char* name, u32 kind) {
  changes->any = true;
  ++changes->counts[kind];
  if (changes->listed == 3) zu_string_add_text(&changes->names, ", ...");
  if (changes->listed++ >= 3) return;
  if (zu_string_size(&changes->names)) zu_string_add_text(&changes->names, ", ");
  zu_string_add_text(&changes->names, name);
}

// "textures/rock.png changed", or "3 changed, 1 added: a, b, c, ...".
void what_changed(const Changes* changes, ZuString* out) {
  zu_string_init_empty(out);
  if (changes->listed == 0) {
    zu_string_add_text(out, "start");
    return;
  }
  char text[64];
  for (u32 k = 0; k < 3; ++k) {
    if (!changes->counts[k]) continue;
    if (changes->listed == 1) {
      sys_snprintf(text, sizeof(text), "%s%s", zu_string_text(&changes->names), " ");
      zu_string_add_text(out, text);
      zu_string_add_text(out, kKinds[k]);
      return;
    }
    sys_snprintf(text, sizeof(text), "%s%u %s", zu_string_size(out) ? ", " : "", changes->counts[k],
                 kKinds[k]);
    zu_string_add_text(out, text);
  }
  zu_string_add_text(out, ": ");
  zu_string_add_text(out, zu_string_text(&changes->names));
}

bool reads_only_in_parts(const NinjaIndex* index, u64 hash) {
  const NinjaPathKey* end;
  for (const NinjaPathKey* key = ninja_index_readers(index, hash, &end); key && key < end; ++key)
    if (key->statement == index->regenerate) return false;
  return true;
}

// Looks at what each noted path is now.
void classify(Watcher* watcher, Changes* changes) {
  bool regenerates = watcher->index.regenerate != kNoStatement;
  for (u32 i = 0; i < changes->paths.count; ++i) {
    const char* path = zu_string_text(changes->paths.data + i);
    const char* name = watched_tree_relative(&watcher->tree, path);
    u64 hash = zu_hash(path, strlen(path));
    const NinjaPathKey* end;
    bool known = ninja_index_readers(&watcher->index, hash, &end) != nullptr ||
                 zu_binary_search_by(&watcher->found, hash,
                                     [](const NinjaPathKey* key) { return key->hash; });
    u32 attr = filesystem_get_attr(path);
    ZuFileStamp stamp;
    bool file = filesystem_get_stamp(path, &stamp);
    if (known && file) {
      describe(changes, name, kChanged);
      if (reads_only_in_parts(&watcher->index, hash))
        zu_array_push(&changes->modified, hash);
      else
        changes->whole = true;  // generation's own input: the endings file
    } else if (known) {
      describe(changes, name, kDeleted);
      changes->whole = true;
    } else if ((attr & ZU_ATTR_EXISTS) && !file) {
      // A folder made (or made again) in the tree: watched, and what it
      // holds is for generation to find.
      ZuString inside;
      zu_string_init(&inside, path);
      zu_string_add_char(&inside, '/');
      if (watched_tree_concerns(&watcher->tree, zu_string_text(&inside))) {
        watched_tree_add(&watcher->tree, path);
        describe(changes, name, kAdded);
        changes->whole = true;
      }
      zu_string_destroy(&inside);
    } else if (file && watched_tree_concerns(&watcher->tree, path)) {
      describe(changes, name, kAdded);
      changes->whole = true;
    }
  }
  if (changes->whole && !regenerates) {
    ZuString what;
    what_changed(changes, &what);
    sys_printf(
        "%s: new or deleted files are built once build.ninja is generated again (generate it "
        "with --tov-regenerate, and ninja does so itself)\n",
        zu_string_text(&what));
    zu_string_destroy(&what);
    sys_flush();
    changes->whole = false;
    changes->any = changes->modified.count > 0;
  }
}

// Waits for a change, then for the tree to settle; false when interrupted.
bool wait_for_changes(Watcher* watcher, Changes* changes) {
  ZuWatchEvent events[64];
  u32 timeout = ~0u;
  for (;;) {
    i64 count = filesystem_watch_wait(watcher->tree.watch, events, 64, timeout);
    if (count < 0) return false;
    if (count == 0 && timeout != ~0u) return true;
    for (i64 e = 0; e < count; ++e) {
      const ZuWatchEvent* event = events + e;
      if (event->flags & ZU_WATCH_OVERFLOW) {
        changes->whole = changes->any = true;
        describe(changes, "(more than the system kept)", kChanged);
        continue;
      }
      if ((event->flags & ZU_WATCH_GONE)) continue;  // its parent says so too
      // A folder made is watched at once: a burst that fills it keeps the
      // build waiting until it is done.
      char inside[ZU_PATH_SLOT + 1];
      sys_snprintf(inside, sizeof(inside), "%s/", event->path);
      if ((event->flags & ZU_WATCH_FOLDER) && watched_tree_concerns(&watcher->tree, inside))
        watched_tree_add(&watcher->tree, event->path);
      note(changes, event->path);
    }
    timeout = watcher->settle_ms;
  }
}

bool development_archive(const Watcher* watcher) {
  const NinjaIndex* index = &watcher->index;
  if (index->pack == kNoStatement) return false;
  ZuString path;
  ninja_index_path(index, index->tokens.data[index->statements.data[index->pack].outputs], &path);
  ZuFile* file = filesystem_file_create(zu_string_text(&path), 0, 0);
  zu_string_destroy(&path);
  ArchiveHeader header = {};
  bool read = file && filesystem_file_read(file, &header, sizeof(header)) == sizeof(header);
  if (file) filesystem_file_destroy(file);
  return read && (header.flags & kArchiveHasOverlay);
}

void load_index(Watcher* watcher) {
  ZuString path, error;
  zu_string_init(&path, zu_string_text(&watcher->build_dir));
  zu_string_add_text(&path, "build.ninja");
  if (!ninja_index_load(&watcher->index, zu_string_text(&path), &error))
    sys_exit(-1, "ERROR: '%s' %s, aborting...", zu_string_text(&path), zu_string_text(&error));
  zu_string_destroy(&path);
}

// After a whole build: build.ninja generated again is read again, and the
// folders it adds are watched.
void follow_generation(Watcher* watcher) {
  ZuString path;
  zu_string_init(&path, zu_string_text(&watcher->build_dir));
  zu_string_add_text(&path, "build.ninja");
  ZuFileStamp now;
  filesystem_get_stamp(zu_string_text(&path), &now);
  zu_string_destroy(&path);
  if (filesystem_stamp_equal(&now, &watcher->index.stamp)) return;
  ninja_index_destroy(&watcher->index);
  load_index(watcher);
  watched_tree_update(&watcher->tree, &watcher->index);
}

// The statements whose steps failed, from their outputs.
void remember_failures(Watcher* watcher, const WatchRun* run) {
  zu_array_clear(&watcher->retry);
  for (u32 i = 0; i < run->failed_outputs.count; ++i) {
    u32 statement = ninja_index_writer(&watcher->index, run->failed_outputs.data[i]);
    if (statement != kNoStatement) zu_array_push(&watcher->retry, statement);
  }
}

// Builds what changed: through a manifest when only sources the build has
// changed and the archive is a development one, else the whole build.
// Returns false when interrupted.
bool build(Watcher* watcher, Changes* changes) {
  u64 start = sys_clock_ns();
  WatchRun run = {};
  bool whole = changes->whole || !development_archive(watcher);
  if (whole) {
    watch_run_ninja(zu_string_text(&watcher->ninja), zu_string_text(&watcher->build_dir), nullptr,
                    &run);
    if (run.status == 0)
      zu_array_clear(&watcher->retry);
    else
      remember_failures(watcher, &run);
  } else {
    WatchManifest manifest;
    watch_manifest_plan(&watcher->index, &watcher->found, changes->modified.data,
                        changes->modified.count, &watcher->retry, &manifest);
    ZuString folder, path;
    zu_string_init(&folder, zu_string_text(&watcher->build_dir));
    zu_string_add_text(&folder, "watch/");
    zu_string_init(&path, zu_string_text(&folder));
    zu_string_add_text(&path, "watch.ninja");
    if (!watch_manifest_write(&watcher->index, &manifest, zu_string_text(&path),
                              zu_string_text(&folder))) {
      sys_printf("ERROR: Couldn't write '%s'\n", zu_string_text(&path));
      run.status = 1;
    } else {
      const char* args[] = {"-f", zu_string_text(&path), nullptr};
      watch_run_ninja(zu_string_text(&watcher->ninja), zu_string_text(&watcher->build_dir), args,
                      &run);
      remember_failures(watcher, &run);
      watch_found_inputs_read(zu_string_text(&watcher->ninja), zu_string_text(&watcher->build_dir),
                              zu_string_text(&path), &watcher->index, &watcher->found);
      if (run.status == 0) {
        watch_run_destroy(&run);
        run = {};
        watch_run_overlay(&watcher->index, zu_string_text(&watcher->build_dir), &manifest, &run);
      }
    }
    zu_string_destroy(&path);
    zu_string_destroy(&folder);
    watch_manifest_destroy(&manifest);
  }
  bool interrupted = run.status == -2;
  double seconds = (double)(sys_clock_ns() - start) / 1e9;
  ZuString described;
  what_changed(changes, &described);
  const char* what = zu_string_text(&described);
  if (interrupted)
    sys_printf("%#T  %s: stopped after %.2f s\n", what, seconds);
  else if (run.status == 0)
    sys_printf("%#T  %s: built in %.2f s%s\n", what, seconds, whole ? " (whole build)" : "");
  else
    sys_printf("%#T  %s: FAILED after %.2f s (the errors above)\n", what, seconds);
  sys_flush();
  zu_string_destroy(&described);
  watch_run_destroy(&run);
  if (whole && !interrupted) {
    follow_generation(watcher);
    watch_found_inputs_read(zu_string_text(&watcher->ninja), zu_string_text(&watcher->build_dir),
                            nullptr, &watcher->index, &watcher->found);
  }
  return !interrupted;
}

// Reads generation's arguments, which --tov-regenerate kept, for the
// patterns of --tov-ignore: changes to files they leave out build nothing.
void read_generation_arguments(const NinjaIndex* index) {
  if (index->regenerate == kNoStatement || !zu_string_size(&index->generation_folder)) return;
  ZuString arguments;
  zu_string_init(&arguments, ninja_index_variable(index, "od"));
  zu_string_add_text(&arguments, "regenerate.args");
  if (filesystem_get_attr(zu_string_text(&arguments)) & ZU_ATTR_READABLE_FILE) {
    filesystem_set_current_directory(zu_string_text(&index->generation_folder));
    char* argv[] = {(char*)"--arg-file", zu_string_data(&arguments)};
    command_option_parse(2, argv, 1);
  }
  zu_string_destroy(&arguments);
}

}  // namespace

bool watch_requested(void) { return command_option_is_set(&g_tov_watch); }

u32 watch_run(void) {
  Watcher watcher = {};
  const char* given = zu_string_text(command_option_value(&g_tov_watch, 0));
  char resolved[4096];
  if (!filesystem_resolve_path(given, resolved, sizeof(resolved) - 1))
    sys_exit(-1, "ERROR: --tov-watch '%s' does not exist, aborting...", given);
  zu_string_init(&watcher.build_dir, resolved);
  if (!sys_strend(resolved, "/")) zu_string_add_char(&watcher.build_dir, '/');
  zu_string_init(&watcher.ninja, command_option_is_set(&g_tov_ninja)
                                     ? zu_string_text(command_option_value(&g_tov_ninja, 0))
                                     : "ninja");
  watcher.settle_ms = command_option_is_set(&g_tov_watch_settle)
                          ? (u32)command_option_value_uint(&g_tov_watch_settle, 0)
                          : 50;
  ZuString build_ninja;
  zu_string_init(&build_ninja, zu_string_text(&watcher.build_dir));
  zu_string_add_text(&build_ninja, "build.ninja");
  if (!(filesystem_get_attr(zu_string_text(&build_ninja)) & ZU_ATTR_READABLE_FILE))
    sys_exit(-1,
             "ERROR: No build.ninja in '%s': generate the build there first (tov with "
             "--tov-intermediate-dir, --tov-out and --tov-dir), aborting...",
             zu_string_text(&watcher.build_dir));
  zu_string_destroy(&build_ninja);
  load_index(&watcher);
  read_generation_arguments(&watcher.index);
  ZuString error;
  if (!watched_tree_create(&watcher.tree, &watcher.index, &error))
    sys_exit(-1, "ERROR: Cannot watch '%s': %s, aborting...", zu_string_text(&watcher.build_dir),
             zu_string_text(&error));
  sys_catch_interrupts();
  sys_printf("tov watch: %u folders for %sbuild.ninja (Ctrl-C ends)\n", watcher.tree.count,
             zu_string_text(&watcher.build_dir));
  sys_flush();
  Changes changes = {};
  changes.whole = true;
  bool running = build(&watcher, &changes);
  changes_destroy(&changes);
  while (running) {
    changes = {};
    if (!wait_for_changes(&watcher, &changes)) {
      changes_destroy(&changes);
      break;
    }
    classify(&watcher, &changes);
    if (changes.any || watcher.retry.count) running = build(&watcher, &changes);
    changes_destroy(&changes);
  }
  sys_printf("tov watch: stopped\n");
  sys_flush();
  watched_tree_destroy(&watcher.tree);
  ninja_index_destroy(&watcher.index);
  zu_array_destroy(&watcher.retry);
  zu_array_destroy(&watcher.found);
  zu_string_destroy(&watcher.ninja);
  zu_string_destroy(&watcher.build_dir);
  return 0;
}
