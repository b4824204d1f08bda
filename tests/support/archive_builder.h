// SPDX-License-Identifier: Zlib
// Builds archives for tests through the real catalogue and pack commands.
#pragma once

#include <string>
#include <vector>

#include "test_support.h"

struct PackedFile {
  std::string name;
  std::string contents;
  u16 type;
};

// Writes the files under folder/i/, writes folder/i/all.fileinfo and packs
// them (in the given order, the catalogue last) into archive. Extra options
// go to the pack step. Needs a TestHost.
void build_archive(const std::string& folder, const std::vector<PackedFile>& files,
                   const std::string& archive, const std::vector<std::string>& pack_options = {});
