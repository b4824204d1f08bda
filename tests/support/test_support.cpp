// SPDX-License-Identifier: Zlib
#include "test_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "command_option.h"

std::string exit_message(const std::string& message) {
  std::string text = message;
  if (text.empty() || text.back() != '\n') text += '\n';
  std::string pattern = "^";
  for (char c : text) {
    if (strchr("\\^$.|?*+()[]{}", c)) pattern += '\\';
    pattern += c;
  }
  return pattern + "$";
}

TempDir::TempDir(const char* name) {
  std::string base = std::filesystem::temp_directory_path().string() + "/" + name + " XXXXXX";
  std::vector<char> buffer(base.begin(), base.end());
  buffer.push_back(0);
  if (!mkdtemp(buffer.data())) abort();
  path_ = buffer.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void write_file(const std::string& path, const std::string& contents) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out << contents;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

bool copy_file(const std::string& from, const std::string& to) {
  std::error_code error;
  return std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing,
                                    error);
}

TestHost::TestHost() {
  memset((void*)&host_, 0, sizeof(host_));
  host_.option_lock = thread_mutex_create();
  host_.parse_command_line = 1;
  zu_set_host(&host_);
}

TestHost::~TestHost() {
  zu_set_host(nullptr);
  thread_mutex_destroy(host_.option_lock);
  zu_string_destroy(&host_.applied_working_dir);
  host_context_release_argument_files(&host_);
}

void parse_arguments(const std::vector<std::string>& args, bool lenient) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  command_option_parse((i32)argv.size(), argv.data(), lenient ? 1 : 0);
}

std::vector<std::string> option_values(CommandOption** handle) {
  std::vector<std::string> result;
  for (u64 i = 0; i < command_option_count(handle); ++i)
    result.push_back(zu_string_text(command_option_value(handle, i)));
  return result;
}

std::string shell_quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') quoted += "'\\''";
    else quoted += c;
  }
  return quoted + "'";
}

ProcessResult run_shell(const std::string& command, const std::string& folder) {
  TempDir capture("tov capture");
  std::string out = capture / "out", err = capture / "err";
  std::string line = "cd " + shell_quote(folder) + " && { " + command + " ; } >" +
                     shell_quote(out) + " 2>" + shell_quote(err) + " </dev/null";
  fflush(stdout);
  int raw = system(line.c_str());
  ProcessResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = read_file(out);
  result.err = read_file(err);
  return result;
}

std::string bin_dir() { return filesystem_get_exe_dir(); }

std::string source_dir() { return TOV_SOURCE_DIR "/"; }

std::string string_table_bytes(const std::vector<u64>& offsets, const std::string& text) {
  std::string bytes;
  u64 count = offsets.size();
  bytes.append((const char*)&count, 8);
  for (u64 offset : offsets) bytes.append((const char*)&offset, 8);
  return bytes + text;
}

// "hg" among the VmFlags of that mapping in /proc/self/smaps; a mapping
// split by advice shows as several.
bool large_pages_at(const std::string& file, u64 offset) {
  std::string wanted = std::filesystem::canonical(file).string();
  std::ifstream listing("/proc/self/smaps");
  bool holds = false;
  for (std::string line; std::getline(listing, line);) {
    // A mapping's first line: start-end perms offset device inode path.
    unsigned long long start, end, at;
    int path_at = 0;
    if (sscanf(line.c_str(), "%llx-%llx %*s %llx %*s %*s %n", &start, &end, &at, &path_at) == 3 &&
        path_at > 0)
      holds = line.substr((size_t)path_at) == wanted && offset >= at && offset < at + (end - start);
    else if (holds && line.rfind("VmFlags:", 0) == 0)
      return line.find(" hg") != std::string::npos;
  }
  return false;
}
