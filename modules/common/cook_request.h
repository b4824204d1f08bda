// SPDX-License-Identifier: Zlib
// What a cooking command hands its cooking library besides the source.
#pragma once

#include "zu_sys.h"

// One settings file: its path (for messages) and its bytes. Files are read
// in order, each over what the ones before set.
struct SettingsFile {
  const char* path;
  const char* text;
  u64 size;
};
