// SPDX-License-Identifier: Zlib
// A C++ game's use of the installed runtime, built through
// find_package(tov CONFIG): lists every file under the root and finds all
// of them again in one batch by name. Prints the number of files; exits 1
// on any mismatch.
#include <tov/tov_archive.h>

#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s ARCHIVE\n", argv[0]);
    return 2;
  }
  const char* paths[] = {argv[1]};
  TovArchiveSetDesc desc = {paths, 1};
  std::unique_ptr<TovArchiveSet, void (*)(TovArchiveSet*)> set(tov_archive_create(&desc),
                                                               tov_archive_destroy);
  if (!set) return 1;
  std::vector<TovFileInfo> files(tov_archive_index_directory(set.get(), "", 0, nullptr, 0));
  tov_archive_index_directory(set.get(), "", 0, files.data(), files.size());
  std::vector<const char*> names;
  for (const TovFileInfo& file : files) names.push_back(file.name);
  std::vector<TovFileInfo> found(names.size());
  uint64_t count = tov_archive_access_files(set.get(), names.data(), names.size(), found.data(),
                                            found.size());
  bool same = count == files.size();
  for (size_t i = 0; same && i < files.size(); ++i) same = found[i].data == files[i].data;
  std::printf("%zu files\n", files.size());
  return same ? 0 : 1;
}
