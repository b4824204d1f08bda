// SPDX-License-Identifier: Zlib
// A program left running while a test acts on it (a watcher, a game that
// reloads): its output gathered in a file the test reads as it grows.
#pragma once

#include <sys/types.h>

#include <string>

#include "test_support.h"

class BackgroundProcess {
 public:
  // Runs a shell command line in folder; output and errors go together.
  BackgroundProcess(const std::string& command, const std::string& folder);
  ~BackgroundProcess();  // ends it when it still runs
  std::string output() const { return read_file(log_.path() + "/out"); }
  // Waits up to seconds until the output holds text count times; false when
  // it does not by then.
  bool wait_for(const std::string& text, int count = 1, int seconds = 120) const;
  static int occurrences(const std::string& output, const std::string& text);
  // Sends Ctrl-C's signal and waits: its exit status, -1 when a signal
  // ended it.
  int interrupt();

 private:
  TempDir log_;
  pid_t pid_ = -1;
};
