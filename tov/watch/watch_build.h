// SPDX-License-Identifier: Zlib
// Running the builds a watcher starts: Ninja, on the whole build or on a
// manifest of its own, and the overlay command, with what their steps
// print passed on and Ninja's progress lines left out.
#pragma once

#include "ninja_index.h"
#include "watch_manifest.h"

struct WatchRun {
  i32 status;                   // 0 when it succeeded; -2 when interrupted
  ZuArray<u64> failed_outputs;  // hashes of the outputs of the steps that failed
};

// Runs ninja (args after "-C build_dir") and waits for it.
void watch_run_ninja(const char* ninja, const char* build_dir, const char* const* args,
                     WatchRun* run);
// Puts the members of the manifest that the build wrote (or that a changed
// source reaches) into the overlay of the development archive, through the
// tool's overlay command; a status of 0 also when there were none.
void watch_run_overlay(const NinjaIndex* index, const char* build_dir,
                       const WatchManifest* manifest, WatchRun* run);
void watch_run_destroy(WatchRun* run);

// The inputs that steps with a depfile (C/C++ data, shaders) found as they
// ran, as Ninja logged them: of the whole build (manifest null), which
// replaces found, or of a watcher's manifest, whose statements replace
// what found held of them. Sorted by the inputs' hashes.
void watch_found_inputs_read(const char* ninja, const char* build_dir, const char* manifest,
                             const NinjaIndex* index, ZuArray<NinjaPathKey>* found);
