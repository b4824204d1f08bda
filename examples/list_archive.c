/* SPDX-License-Identifier: Zlib */
/* Lists what a .tov archive holds, the way a game reaches its files: check
 * each archive, load them into a set, index the root directory for every
 * type, and read a string table in place.
 *
 *     list_archive game.tov [more.tov ...]
 */
#include <stdio.h>
#include <stdlib.h>

#include "tov/tov_archive.h"

/* An archive this program did not build may be damaged or hostile: it is
 * checked whole before the set trusts it. */
static int archive_is_sound(const char* path) {
  FILE* file = fopen(path, "rb");
  if (!file) {
    fprintf(stderr, "%s: cannot be read\n", path);
    return 0;
  }
  fseek(file, 0, SEEK_END);
  long size = ftell(file);
  fseek(file, 0, SEEK_SET);
  char* bytes = (char*)malloc(size > 0 ? (size_t)size : 1);
  size_t read = fread(bytes, 1, size > 0 ? (size_t)size : 0, file);
  fclose(file);
  char message[256];
  int sound = size >= 0 && read == (size_t)size &&
              tov_archive_verify(bytes, (uint64_t)read, 0, message, sizeof(message));
  if (!sound) fprintf(stderr, "%s: damaged: %s\n", path, read == (size_t)size ? message : "short read");
  free(bytes);
  return sound;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s ARCHIVE.tov [ARCHIVE.tov ...]\n", argv[0]);
    return 2;
  }
  for (int i = 1; i < argc; ++i)
    if (!archive_is_sound(argv[i])) return 1;
  TovArchiveSetDesc desc = {(const char* const*)(argv + 1), (uint64_t)(argc - 1)};
  TovArchiveSet* set = tov_archive_create(&desc);
  if (!set) {
    fprintf(stderr, "cannot open the archives given\n");
    return 1;
  }
  /* Count first, then fetch: nothing is allocated by the library. */
  uint64_t count = tov_archive_index_directory(set, "", 0, NULL, 0);
  TovFileInfo* files = (TovFileInfo*)malloc((count ? count : 1) * sizeof(TovFileInfo));
  count = tov_archive_index_directory(set, "", 0, files, count);
  printf("%-48s %5s %10s\n", "name", "type", "size");
  for (uint64_t i = 0; i < count; ++i)
    printf("%-48s %5u %10llu\n", files[i].name, (unsigned)files[i].type,
           (unsigned long long)files[i].size);
  printf("%llu files\n", (unsigned long long)count);

  for (uint64_t i = 0; i < count; ++i) {
    TovStringTable table;
    if (!tov_access_stringtable(&files[i], &table)) continue;
    printf("string table %s: %llu strings", files[i].name, (unsigned long long)table.count);
    if (table.count > 0) printf(", first \"%s\"", table.text + table.offsets[0]);
    printf("\n");
  }
  free(files);
  tov_archive_destroy(set);
  return 0;
}
