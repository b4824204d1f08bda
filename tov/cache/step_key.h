// SPDX-License-Identifier: Zlib
// What a build step's cache key is made of: the tool's version, the
// command and its version file, every option value that can change the
// outputs (input files by name and content, output names, arguments), each
// name taken relative to the tree or the intermediate folder so that two
// builds of one tree in two folders share their entries.
#pragma once

#include "zu_array.h"

struct StepPlace {
  const char* working_dir;       // ends in '/'
  const char* sdk_dir;           // ends in '/'
  const char* intermediate_dir;  // relative to working_dir, ends in '/'
};

struct StepKey {
  ZuArray<u8> material;
};

// Starts the key of the step this process runs (its options).
void step_key_begin(StepKey* key, const StepPlace* place, const char* command);
// Adds bytes (with their length, so that fields cannot run together).
void step_key_add(StepKey* key, const void* data, u64 size);
void step_key_add_text(StepKey* key, const char* text);
// The key as 32 hexadecimal digits (two 64-bit hashes) into out[33].
void step_key_text(const StepKey* key, char* out);
void step_key_destroy(StepKey* key);

// The content hash of a regular file; false when path is none.
bool step_file_hash(const char* path, u64* hash);
// path as the key names it: inside the intermediate folder "@name", inside
// the tree relative to it, elsewhere as it is (out holds the text when
// needed).
const char* step_relative(const StepPlace* place, const char* path, char* out, u64 size);
