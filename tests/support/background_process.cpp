// SPDX-License-Identifier: Zlib
#include "background_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

BackgroundProcess::BackgroundProcess(const std::string& command, const std::string& folder)
    : log_("tov background") {
  std::string line = "cd " + shell_quote(folder) + " && exec " + command + " >" +
                     shell_quote(log_.path() + "/out") + " 2>&1 </dev/null";
  fflush(stdout);
  pid_ = fork();
  if (pid_ == 0) {
    execl("/bin/sh", "sh", "-c", line.c_str(), (char*)nullptr);
    _exit(127);
  }
}

BackgroundProcess::~BackgroundProcess() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

int BackgroundProcess::occurrences(const std::string& output, const std::string& text) {
  int count = 0;
  for (size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + 1))
    ++count;
  return count;
}

bool BackgroundProcess::wait_for(const std::string& text, int count, int seconds) const {
  for (int waited = 0; waited < seconds * 50; ++waited) {
    if (occurrences(output(), text) >= count) return true;
    usleep(20000);
  }
  return false;
}

int BackgroundProcess::interrupt() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGINT);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
