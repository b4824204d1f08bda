// SPDX-License-Identifier: Zlib
#include "e2e_tree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

std::string host_path() { return bin_dir() + "tov"; }

void E2eTree::age(const std::string& relative, long seconds_from_now) const {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  struct timespec times[2] = {{0, UTIME_OMIT}, {now.tv_sec + seconds_from_now, now.tv_nsec}};
  utimensat(AT_FDCWD, path(relative).c_str(), times, 0);
}

E2eTree::~E2eTree() {
  for (const std::string& archive : archives_) remove(archive_path(archive).c_str());
}

ProcessResult E2eTree::generate(const std::string& archive,
                                const std::vector<std::string>& options) const {
  archives_.push_back(archive);
  std::string command = shell_quote(host_path()) + " --tov-working-dir " + shell_quote(root()) +
                        " --tov-sdk-dir " + shell_quote(source_dir() + "sdk") +
                        " --tov-intermediate-dir " + out_folder + "/i --tov-out " +
                        shell_quote(archive) + " --tov-rule-file rules/tov.ninja";
  for (const std::string& option : options) command += " " + shell_quote(option);
  return run_shell(command, root());
}

ProcessResult E2eTree::ninja(const std::string& options) const {
  return run_shell("ninja -C " + out_folder + " " + options, root());
}

ProcessResult E2eTree::build(const std::string& archive,
                             const std::vector<std::string>& options) const {
  ProcessResult generated = generate(archive, options);
  EXPECT_EQ(generated.status, 0) << generated.out << generated.err;
  if (generated.status != 0) return generated;
  ProcessResult built = ninja();
  EXPECT_EQ(built.status, 0) << built.out << built.err;
  return built;
}

std::string E2eTree::archive_path(const std::string& archive) {
  return bin_dir() + "danger_zone/" + archive;
}
