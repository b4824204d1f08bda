// SPDX-License-Identifier: Zlib
// Helpers shared by the tests: temporary folders, files, and the exact text
// of a fatal message for death tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "command_option.h"
#include "host_context.h"
#include "zu_sys.h"

// A regular expression that matches exactly what sys_exit prints for message.
std::string exit_message(const std::string& message);

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
 public:
  explicit TempDir(const char* name = "tov test");
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

void write_file(const std::string& path, const std::string& contents);
std::string read_file(const std::string& path);
bool copy_file(const std::string& from, const std::string& to);

// A host context with the creation defaults, installed as this test
// program's host for its lifetime.
class TestHost {
 public:
  TestHost();
  ~TestHost();
  HostContext* get() { return &host_; }

 private:
  HostContext host_;
};

// Parses args (without program name) as a module's shared_init would.
void parse_arguments(const std::vector<std::string>& args, bool lenient = true);

// The values an option holds, as texts.
std::vector<std::string> option_values(CommandOption** handle);

// Runs body in a child process whose standard output goes to a file, and
// expects the child to end with status and a standard error matching
// error_pattern; returns what it printed.
template <class Body>
std::string child_output(Body body, int status = 0, const std::string& error_pattern = "") {
  TempDir dir;
  std::string out = dir / "stdout";
  EXPECT_EXIT(
      {
        if (!freopen(out.c_str(), "w", stdout)) abort();
        body();
        fflush(stdout);
        _exit(0);
      },
      testing::ExitedWithCode(status), error_pattern);
  return read_file(out);
}

// A finished process: exit status (-1 when it did not exit), its output.
struct ProcessResult {
  int status;
  std::string out;
  std::string err;
};

// Whether the mapping of file that holds its byte at offset has large pages.
bool large_pages_at(const std::string& file, u64 offset);

// Runs a shell command line in folder and waits for it.
ProcessResult run_shell(const std::string& command, const std::string& folder = ".");

// A path quoted for the shell.
std::string shell_quote(const std::string& text);

// The bytes of a string table: u64 count, u64 offsets, then text.
std::string string_table_bytes(const std::vector<u64>& offsets, const std::string& text);

// The folder of the test program, ending in '/': the build's bin folder.
std::string bin_dir();

// The source tree's folder, ending in '/'.
std::string source_dir();
