// SPDX-License-Identifier: Zlib
// The folders a watcher watches: every folder generation scanned (and the
// folders of the files it was given), new ones as they appear, never the
// intermediate, build and output folders; and what a changed path is to
// the build.
#pragma once

#include "ninja_index.h"

struct WatchedTree {
  ZuWatch* watch;
  ZuArray<u64> folders;        // hashes of the folders watched, sorted
  ZuArray<ZuString> roots;     // the top folders, ending in '/': assets appear below them
  ZuArray<ZuString> excluded;  // folders the build writes to, ending in '/'
  ZuString working_dir;        // ending in '/'
  u32 count;                   // folders watched
  // Generation's --tov-dir values (as given, ending in '/') and the folders
  // they name (canonical, ending in '/'): ignore patterns match a path as
  // generation scanned it, "./assets/x.swp" for --tov-dir ./assets.
  ZuArray<ZuString> scanned_as, scanned;
};

// Watches what build.ninja (index) was generated from. False, with why in
// error, when the system gives no watch.
bool watched_tree_create(WatchedTree* tree, const NinjaIndex* index, ZuString* error);
// After build.ninja was generated again: watches the folders it adds.
void watched_tree_update(WatchedTree* tree, const NinjaIndex* index);
void watched_tree_destroy(WatchedTree* tree);
// Watches folder and every folder below it (one that appeared meanwhile);
// false when it is none to watch.
bool watched_tree_add(WatchedTree* tree, const char* folder);

// Whether a change of path can concern the build: inside a root, outside
// the build's own folders, and not ignored by generation's patterns.
bool watched_tree_concerns(const WatchedTree* tree, const char* path);
// The path as generation names sources: from the working folder.
const char* watched_tree_relative(const WatchedTree* tree, const char* path);
