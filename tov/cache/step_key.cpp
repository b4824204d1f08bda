// SPDX-License-Identifier: Zlib
#include "step_key.h"

#include "command_option.h"
#include "tov_version.h"

namespace {

// Options that name where a step runs or how it reports, not what it makes:
// two builds of one tree in two folders must find each other's entries.
const char* const kPlaceOptions[] = {
    "tov-working-dir",      "tov-sdk-dir",    "tov-intermediate-dir", "tov-command-in-file",
    "tov-command-out-file", "tov-cache",      "tov-verbose",          "arg-file",
    "arg-file-space",       "arg-file-shell",
};

bool is_place_option(const char* name) {
  for (const char* place : kPlaceOptions)
    if (sys_strequal(place, name)) return true;
  // A depfile names an output of the step.
  return sys_strend(name, "depfile");
}

}  // namespace

void step_key_add(StepKey* key, const void* data, u64 size) {
  u64 at = key->material.count;
  zu_array_resize(&key->material, at + size + 8);
  memcpy(key->material.data + at, &size, 8);
  memcpy(key->material.data + at + 8, data, size);
}

void step_key_add_text(StepKey* key, const char* text) { step_key_add(key, text, strlen(text)); }

bool step_file_hash(const char* path, u64* hash) {
  if ((filesystem_get_attr(path) & (ZU_ATTR_READABLE_FILE | ZU_ATTR_SPECIAL)) !=
      ZU_ATTR_READABLE_FILE)
    return false;
  ZuMappedFile* mapping = filesystem_mapped_file_create(path);
  if (!mapping) return false;
  u64 size = 0;
  const void* bytes = filesystem_mapped_file_get_memory(mapping, &size);
  *hash = zu_hash(bytes, size);
  filesystem_mapped_file_destroy(mapping);
  return true;
}

const char* step_relative(const StepPlace* place, const char* path, char* out, u64 size) {
  u64 working = strlen(place->working_dir);
  if (strncmp(path, place->working_dir, working) == 0) {
    const char* inside = path + working;
    u64 intermediate = strlen(place->intermediate_dir);
    // Built files are named from the intermediate folder, which differs
    // between two builds of one tree.
    if (strncmp(inside, place->intermediate_dir, intermediate) == 0) {
      sys_snprintf(out, size, "@%s", inside + intermediate);
      return out;
    }
    return inside;
  }
  return path;
}

void step_key_begin(StepKey* key, const StepPlace* place, const char* command) {
  *key = {};
  step_key_add_text(key, "tov build cache 1 " TOV_VERSION);
  step_key_add_text(key, command);
  char path[2048];
  sys_snprintf(path, sizeof(path), "%sversions/%s.txt", place->sdk_dir, command);
  u64 version = 0;
  step_file_hash(path, &version);
  step_key_add(key, &version, 8);
  char relative[2048];
  bool catalogue = sys_strequal(command, "fileinfo");
  for (CommandOption* option = command_option_head(); option; option = option->next) {
    CommandOption* handle = option;
    if (!command_option_is_set(&handle)) continue;
    bool place_option = is_place_option(option->long_name);
    bool files = sys_strequal(option->long_name, "tov-command-in-file") ||
                 sys_strequal(option->long_name, "tov-command-out-file");
    if (place_option && !files) continue;
    step_key_add_text(key, option->long_name);
    for (u64 i = 0; i < command_option_count(&handle); ++i) {
      const char* value = zu_string_text(command_option_value(&handle, i));
      step_key_add_text(key, step_relative(place, value, relative, sizeof(relative)));
      // A value that names a file (an input, a header, a patch base)
      // stands for its bytes; outputs are what the step makes.
      u64 hash = 0;
      if (!sys_strequal(option->long_name, "tov-command-out-file") && step_file_hash(value, &hash))
        step_key_add(key, &hash, 8);
      // The catalogue records its files' modification times as well.
      if (catalogue && !sys_strequal(option->long_name, "tov-command-out-file")) {
        u64 modified = filesystem_get_last_modified_time(value);
        step_key_add(key, &modified, 8);
      }
    }
  }
}

void step_key_text(const StepKey* key, char* out) {
  u64 a = zu_hash_s(key->material.data, key->material.count, 1);
  u64 b = zu_hash_s(key->material.data, key->material.count, 2);
  sys_snprintf(out, 33, "%016llx%016llx", (unsigned long long)a, (unsigned long long)b);
}

void step_key_destroy(StepKey* key) { zu_array_destroy(&key->material); }
