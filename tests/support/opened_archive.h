// SPDX-License-Identifier: Zlib
// One archive loaded as a game would, for the checks of a test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tov/tov_archive.h"

struct OpenedArchive {
  TovArchiveSet* set;
  explicit OpenedArchive(const std::string& path) {
    const char* paths[] = {path.c_str()};
    TovArchiveSetDesc desc = {paths, 1};
    set = tov_archive_create(&desc);  // null when it cannot be opened
  }
  ~OpenedArchive() { tov_archive_destroy(set); }
  // Every packed file of type (0: all), in directory order.
  std::vector<TovFileInfo> files(uint64_t type = 0) const {
    if (!set) return {};
    std::vector<TovFileInfo> files(tov_archive_index_directory(set, "", type, nullptr, 0));
    files.resize(tov_archive_index_directory(set, "", type, files.data(), files.size()));
    return files;
  }
  std::vector<std::string> names() const {  // sorted
    std::vector<std::string> result;
    for (const TovFileInfo& info : files()) result.push_back(info.name);
    std::sort(result.begin(), result.end());
    return result;
  }
  TovFileInfo file(const char* name) const {  // a failed expectation when missing
    TovFileInfo info = {};
    EXPECT_TRUE(set && tov_archive_access_file(set, name, &info)) << name;
    return info;
  }
  std::string bytes(const char* name) const {
    TovFileInfo info = file(name);
    return info.data ? std::string((const char*)info.data, info.size) : std::string();
  }
};
