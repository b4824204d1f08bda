// SPDX-License-Identifier: Zlib
// A game's side of a reload, for the end-to-end test: holds a record of
// NAME, reloads until the archive changes, reports the changes, reads the
// held record (still the old bytes), releases it and looks NAME up again.
// Usage: reload_reader ARCHIVE NAME
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tov/tov_archive.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  TovArchiveSetDesc desc = {(const char* const*)argv + 1, 1};
  TovArchiveSet* set = tov_archive_create(&desc);
  TovFileInfo held;
  if (!set || !tov_archive_access_file(set, argv[2], &held)) return 1;
  printf("before: %.*s\nready\n", (int)held.size, (const char*)held.data);
  fflush(stdout);
  for (int tick = 0; tick < 24000; ++tick) {  // two minutes at most
    if (tov_archive_reload(set, 5) == 0) {
      usleep(5000);
      continue;
    }
    std::vector<TovArchiveChange> changes(tov_archive_changes(set, nullptr, 0));
    tov_archive_changes(set, changes.data(), changes.size());
    std::vector<std::string> lines;
    const char* kinds[] = {"", "added", "changed", "removed"};
    for (const TovArchiveChange& change : changes)
      lines.push_back(std::string(kinds[change.kind]) + " " + change.file.name + " " +
                      std::to_string(change.file.size));
    std::sort(lines.begin(), lines.end());
    for (const std::string& line : lines) printf("%s\n", line.c_str());
    printf("held: %.*s\n", (int)held.size, (const char*)held.data);
    tov_archive_release(set, tov_archive_generation(set));
    TovFileInfo now;
    if (!tov_archive_access_file(set, argv[2], &now)) return 1;
    printf("now: %.*s\n", (int)now.size, (const char*)now.data);
    tov_archive_destroy(set);
    return 0;
  }
  return 1;
}
