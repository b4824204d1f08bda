// SPDX-License-Identifier: Zlib
// Lookups through several builds of the archive runtime in one process,
// alternated in slices of a few milliseconds. On a shared machine the speed
// of memory moves by a third within seconds; runs in processes of their own
// then differ more than the builds do, while slices side by side see the
// same machine. Each build is loaded in a link namespace of its own, so two
// builds of the same library do not share symbols.
//   lookups_side_by_side MODE ARCHIVE NAMES ROUNDS LIBRARY...
// MODE is hash (single lookups by hash), name (single lookups by name),
// batch (64 hashes per call) or names (64 names per call). A LIBRARY is any shared library that
// exports the runtime's functions (libtov_archive.so, or an older build's tov.x86_64). Prints each
// build's median time per lookup and the median of its per-round ratios to the first build's.
#include <dlfcn.h>
#include <stdio.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tov/tov_archive.h"

namespace {

struct Build {
  decltype(&tov_archive_create) create;
  decltype(&tov_archive_access_file) by_name;
  decltype(&tov_archive_access_file_by_hash) by_hash;
  decltype(&tov_archive_access_files_by_hash) batch;
  decltype(&tov_archive_access_files) names;
  decltype(&tov_archive_hash) hash;  // null in builds older than it
  TovArchiveSet* set;
};

double now_ns() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e9 + t.tv_nsec;
}

template <class T>
bool find(void* library, const char* name, T* out) {
  *out = (T)dlsym(library, name);
  return *out != nullptr;
}

// Lookups per slice: about 4 ms at 20 ns.
constexpr size_t kSlice = 200000;

// One slice of lookups through build, from position *at of the keys.
void run_slice(const Build& build, const char* mode, const std::vector<std::string>& names,
               const std::vector<const char*>& texts, const std::vector<uint64_t>& hashes,
               size_t* at) {
  TovFileInfo info, out[64];
  size_t i = *at;
  volatile uint64_t sink = 0;
  if (!strcmp(mode, "hash")) {
    for (size_t n = 0; n < kSlice; ++n, i = i + 1 == hashes.size() ? 0 : i + 1)
      sink = build.by_hash(build.set, hashes[i], &info);
  } else if (!strcmp(mode, "name")) {
    for (size_t n = 0; n < kSlice; ++n, i = i + 1 == names.size() ? 0 : i + 1)
      sink = build.by_name(build.set, names[i].c_str(), &info);
  } else {
    for (size_t n = 0; n < kSlice / 64; ++n, i += 64) {
      if (i + 64 > hashes.size()) i = 0;
      sink = strcmp(mode, "names") ? build.batch(build.set, hashes.data() + i, 64, out, 64)
                                   : build.names(build.set, texts.data() + i, 64, out, 64);
    }
  }
  (void)sink;
  *at = i;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6 || (strcmp(argv[1], "hash") && strcmp(argv[1], "name") && strcmp(argv[1], "batch") &&
                   strcmp(argv[1], "names"))) {
    fprintf(stderr, "usage: %s hash|name|batch|names ARCHIVE NAMES ROUNDS LIBRARY...\n", argv[0]);
    return 2;
  }
  const char* mode = argv[1];
  std::vector<std::string> names;
  std::ifstream list(argv[3]);
  if (!list) {
    fprintf(stderr, "%s: cannot be read\n", argv[3]);
    return 1;
  }
  for (std::string line; std::getline(list, line);) names.push_back(line);
  if (names.size() < 64) {
    fprintf(stderr, "%s: fewer than 64 names\n", argv[3]);
    return 1;
  }
  std::shuffle(names.begin(), names.end(), std::mt19937_64(1));
  std::vector<const char*> texts;
  for (const std::string& name : names) texts.push_back(name.c_str());
  int rounds = atoi(argv[4]);
  if (rounds < 1) rounds = 1;
  std::vector<Build> builds;
  std::vector<uint64_t> hashes;
  for (int i = 5; i < argc; ++i) {
    void* library = dlmopen(LM_ID_NEWLM, argv[i], RTLD_NOW | RTLD_LOCAL);
    Build build = {};
    if (!library || !find(library, "tov_archive_create", &build.create) ||
        !find(library, "tov_archive_access_file", &build.by_name) ||
        !find(library, "tov_archive_access_file_by_hash", &build.by_hash) ||
        !find(library, "tov_archive_access_files_by_hash", &build.batch) ||
        !find(library, "tov_archive_access_files", &build.names)) {
      fprintf(stderr, "%s: %s\n", argv[i], library ? "not an archive runtime" : dlerror());
      return 1;
    }
    find(library, "tov_archive_hash", &build.hash);
    const char* paths[] = {argv[2]};
    TovArchiveSetDesc desc = {paths, 1};
    build.set = build.create(&desc);
    if (!build.set) {
      fprintf(stderr, "%s: cannot open %s\n", argv[i], argv[2]);
      return 1;
    }
    if (build.hash && hashes.empty())
      for (const std::string& name : names) hashes.push_back(build.hash(name.data(), name.size()));
    builds.push_back(build);
  }
  if (hashes.empty()) {
    fprintf(stderr, "no library exports tov_archive_hash: add a newer build\n");
    return 1;
  }
  // Two rounds to warm up, then the measured ones; the order turns each round.
  std::vector<std::vector<double>> times(builds.size());
  size_t at = 0;
  for (int r = -2; r < rounds; ++r) {
    for (size_t k = 0; k < builds.size(); ++k) {
      size_t b = r & 1 ? builds.size() - 1 - k : k;
      double start = now_ns();
      run_slice(builds[b], mode, names, texts, hashes, &at);
      if (r >= 0) times[b].push_back((now_ns() - start) / kSlice);
    }
  }
  for (size_t b = 0; b < builds.size(); ++b) {
    std::vector<double> own = times[b], ratios;
    for (int r = 0; r < rounds; ++r) ratios.push_back(times[b][r] / times[0][r]);
    std::sort(own.begin(), own.end());
    std::sort(ratios.begin(), ratios.end());
    printf("%-40s %7.2f ns  ratio %.3f (quartiles %.3f-%.3f)\n", argv[5 + b], own[rounds / 2],
           ratios[rounds / 2], ratios[rounds / 4], ratios[3 * rounds / 4]);
  }
  return 0;
}
