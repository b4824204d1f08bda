// SPDX-License-Identifier: Zlib
// Archive bytes: every function of the runtime must be safe on any bytes
// without verification (no read outside the mapping, no misaligned entry,
// every record inside the mapping), and on what tov_archive_verify accepts
// every listed file must also be found by name.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "fuzz_support.h"
#include "tov/tov_archive.h"

static volatile u64 g_sink;

static void exercise(TovArchiveSet* set, bool verified) {
  u64 count = tov_archive_index_directory_with_dupes(set, "", 0, nullptr, 0);
  std::vector<TovFileInfo> files(count + 1);
  count = tov_archive_index_directory_with_dupes(set, "", 0, files.data(), count);
  std::vector<const char*> names;
  std::vector<u64> hashes = {0};
  u64 sum = 0;  // every byte handed out is read
  for (u64 i = 0; i < count; ++i) {
    const TovFileInfo& file = files[i];
    for (u64 b = 0; b < file.size; ++b) sum += ((const u8*)file.data)[b];
    sum += strlen(file.name);
    names.push_back(file.name);
    hashes.push_back(file.hash);
    TovStringTable table;
    // The strings themselves are checked by verification only.
    if (tov_access_stringtable(&file, &table))
      for (u64 s = 0; s < table.count; ++s)
        sum += verified ? (u8)table.text[table.offsets[s]] : table.offsets[s];
    TovFileInfo found;
    if (!tov_archive_access_file(set, file.name, &found) && verified) abort();
    tov_archive_access_stringtable(set, file.name, &table, &found);
    tov_archive_access_file_by_hash(set, file.hash, &found);
  }
  std::vector<TovFileInfo> out(names.size() + hashes.size() + 1);
  u64 found = tov_archive_access_files(set, names.data(), names.size(), out.data(), out.size());
  for (u64 i = 0; i < found && i < out.size(); ++i) sum += out[i].size + strlen(out[i].name);
  found = tov_archive_access_files_by_hash(set, hashes.data(), hashes.size(), out.data(), out.size());
  for (u64 i = 0; i < found && i < out.size(); ++i) sum += out[i].size + strlen(out[i].name);
  const char* directories[] = {"", "a/", "maps/", "x"};
  u64 types[] = {2, 4, 6, 7, 65535};
  tov_archive_index_directories_n(set, directories, 4, types, 5, out.data(), out.size());
  tov_archive_index_directories_with_dupes_n(set, directories, 4, types, 5, out.data(), out.size());
  g_sink = sum;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bool verified = tov_archive_verify(data, size, TOV_VERIFY_CONTENT, nullptr, 0);
  const char* path = fuzz_file(data, size);
  const char* paths[] = {path, path};
  TovArchiveSetDesc desc = {paths, 2};
  TovArchiveSet* set = tov_archive_create(&desc);
  if (!set) return 0;
  exercise(set, verified);
  tov_archive_destroy(set);
  return 0;
}
