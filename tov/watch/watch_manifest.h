// SPDX-License-Identifier: Zlib
// The small build a save needs: the statements of the changed sources and
// of what they feed, written as a Ninja manifest of their own so that Ninja
// runs them exactly as build.ninja would, without reading the whole graph.
#pragma once

#include "ninja_index.h"

// One file of the archive a manifest builds.
struct WatchMember {
  ZuString path;
  u16 type;
  u64 modified;  // before the build, to tell which ones it wrote
};

struct WatchManifest {
  ZuArray<u32> statements;  // in build.ninja's order
  ZuArray<WatchMember> members;
  ZuArray<u8> always;  // per member: written by a statement of a changed source
};

// The statements for sources (hashes of their paths) and the statements in
// retry (those whose steps failed before): every statement that reads one,
// as build.ninja says or as its depfile said when it last ran (found), those
// that read what they write, and so on, short of the catalogue and the
// pack. Each of them has a changed input: Ninja runs them all.
void watch_manifest_plan(const NinjaIndex* index, const ZuArray<NinjaPathKey>* found,
                         const u64* sources, u64 source_count, const ZuArray<u32>* retry,
                         WatchManifest* manifest);
void watch_manifest_destroy(WatchManifest* manifest);

// Writes the manifest at path: build.ninja's variables and rules, its own
// folder for Ninja's logs (builddir), and the statements. False when it
// cannot be written.
bool watch_manifest_write(const NinjaIndex* index, const WatchManifest* manifest, const char* path,
                          const char* builddir);
