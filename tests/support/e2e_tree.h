// SPDX-License-Identifier: Zlib
// End-to-end runs: the real tov host and Ninja in a folder whose path holds
// a blank.
#pragma once

#include <string>
#include <vector>

#include "opened_archive.h"
#include "test_support.h"

// The archives it generates (in the tool's danger_zone/) go with it.
class E2eTree {
 public:
  E2eTree() : dir_("tov e2e") {}
  ~E2eTree();
  std::string root() const { return dir_.path() + "/"; }
  std::string path(const std::string& relative) const { return root() + relative; }
  void write(const std::string& relative, const std::string& contents) const {
    write_file(path(relative), contents);
  }
  // Sets the file's modification time to seconds after now.
  void age(const std::string& relative, long seconds_from_now) const;
  // Runs generation with the folder as working folder, intermediate folder
  // out_folder + "/i/" and the built-in rule file; extra options follow.
  ProcessResult generate(const std::string& archive, const std::vector<std::string>& options) const;
  ProcessResult ninja(const std::string& options = "") const;
  // generate, then ninja: either failing fails the test; Ninja's result.
  ProcessResult build(const std::string& archive, const std::vector<std::string>& options) const;
  // The archive's path: the tool builds into danger_zone/ beside itself.
  static std::string archive_path(const std::string& archive);
  std::string out_folder = "out";  // build.ninja's folder, where Ninja runs

 private:
  TempDir dir_;
  mutable std::vector<std::string> archives_;
};

std::string host_path();
