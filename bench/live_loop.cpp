// SPDX-License-Identifier: Zlib
// The live loop's two ends for bench/live_loop.sh: a tree of large files,
// and a save timed until a game (a set that reloads every 10 ms) reads
// the saved file's new bytes.
//
//   live_loop tree FOLDER COUNT MEGABYTES   COUNT files of MEGABYTES in all
//   live_loop save ARCHIVE NAME SOURCE [BUILD_DIR]
//       saves new bytes into SOURCE (a temporary file renamed over it, as
//       editors save) and prints the milliseconds until NAME in ARCHIVE
//       changes; with BUILD_DIR it runs `ninja -C BUILD_DIR` itself (the
//       whole build), without it a watcher is expected to build. The new
//       bytes are random, of SOURCE's size, or those of the file that
//       LIVE_LOOP_CONTENT names (a source a step cooks must stay valid).
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "tov/tov_archive.h"

extern char** environ;

namespace {

double now_ms() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

int make_tree(const char* root, long count, long megabytes) {
  std::mt19937_64 random(7);
  size_t mean = (size_t)(megabytes << 20) / (size_t)count;
  std::vector<char> bytes(mean * 2 + 16);
  for (char& c : bytes) c = (char)random();
  mkdir(root, 0755);
  for (long i = 0; i < count; ++i) {
    char path[512];
    snprintf(path, sizeof(path), "%s/d%02ld", root, i % 97);
    mkdir(path, 0755);
    snprintf(path + strlen(path), sizeof(path) - strlen(path), "/f%07ld.bin", i);
    size_t size = mean / 2 + random() % (mean + 1);  // mean on average
    FILE* file = fopen(path, "wb");
    if (!file || fwrite(bytes.data() + random() % 16, 1, size, file) != size) return 1;
    fclose(file);
  }
  return 0;
}

int save(const char* archive, const char* name, const char* source, const char* build_dir) {
  TovArchiveSetDesc desc = {&archive, 1};
  TovArchiveSet* set = tov_archive_create(&desc);
  TovFileInfo before;
  if (!set || !tov_archive_access_file(set, name, &before)) {
    fprintf(stderr, "live_loop: no '%s' in '%s'\n", name, archive);
    return 1;
  }
  u_int64_t old_checksum = before.checksum;
  // New bytes of the same size, as a saved texture or level has.
  struct stat info;
  if (stat(source, &info) != 0) return 1;
  std::vector<char> bytes((size_t)info.st_size);
  std::mt19937_64 random((u_int64_t)now_ms());
  for (char& c : bytes) c = (char)random();
  if (const char* content = getenv("LIVE_LOOP_CONTENT")) {
    FILE* from = fopen(content, "rb");
    if (!from) return 1;
    bytes.clear();
    char buffer[65536];
    for (size_t got; (got = fread(buffer, 1, sizeof(buffer), from)) > 0;)
      bytes.insert(bytes.end(), buffer, buffer + got);
    fclose(from);
  }
  std::string temporary = std::string(source) + ".saving";
  FILE* file = fopen(temporary.c_str(), "wb");
  if (!file || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) return 1;
  fclose(file);
  double start = now_ms();
  if (rename(temporary.c_str(), source) != 0) return 1;
  pid_t ninja = -1;
  if (build_dir) {
    const char* argv[] = {"ninja", "-C", build_dir, nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&ninja, "ninja", &actions, nullptr, (char* const*)argv, environ) != 0)
      return 1;
    posix_spawn_file_actions_destroy(&actions);
  }
  double seen = -1;
  while (now_ms() - start < 600000) {
    tov_archive_reload(set, 10);
    TovFileInfo info;
    if (tov_archive_access_file(set, name, &info) && info.checksum != old_checksum) {
      seen = now_ms() - start;
      break;
    }
    tov_archive_release(set, tov_archive_generation(set));
    usleep(1000);
  }
  if (ninja > 0) waitpid(ninja, nullptr, 0);
  tov_archive_destroy(set);
  if (seen < 0) return 1;
  printf("%.1f\n", seen);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && strcmp(argv[1], "tree") == 0) return make_tree(argv[2], atol(argv[3]), atol(argv[4]));
  if ((argc == 5 || argc == 6) && strcmp(argv[1], "save") == 0)
    return save(argv[2], argv[3], argv[4], argc == 6 ? argv[5] : nullptr);
  fprintf(stderr,
          "usage: live_loop tree FOLDER COUNT MEGABYTES\n"
          "       live_loop save ARCHIVE NAME SOURCE [BUILD_DIR]\n");
  return 2;
}
