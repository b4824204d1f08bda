/* SPDX-License-Identifier: Zlib
 * A game's use of the installed runtime, built through pkg-config: checks
 * an archive, lists every file under the root and finds each again by name
 * and by hash. Prints the number of files; exits 1 on any mismatch. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <tov/tov_archive.h>

static void* read_whole(const char* path, uint64_t* size) {
  FILE* file = fopen(path, "rb");
  if (!file) return NULL;
  fseek(file, 0, SEEK_END);
  long length = ftell(file);
  fseek(file, 0, SEEK_SET);
  void* bytes = malloc(length > 0 ? (size_t)length : 1);
  *size = length > 0 ? (uint64_t)fread(bytes, 1, (size_t)length, file) : 0;
  fclose(file);
  return bytes;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s ARCHIVE\n", argv[0]);
    return 2;
  }
  uint64_t size;
  void* bytes = read_whole(argv[1], &size);
  char message[256];
  if (!bytes || !tov_archive_verify(bytes, size, TOV_VERIFY_CONTENT, message, sizeof message)) {
    fprintf(stderr, "%s: %s\n", argv[1], bytes ? message : "cannot be read");
    return 1;
  }
  free(bytes);
  const char* paths[1];
  paths[0] = argv[1];
  TovArchiveSetDesc desc = {paths, 1};
  TovArchiveSet* set = tov_archive_create(&desc);
  if (!set) return 1;
  uint64_t count = tov_archive_index_directory(set, "", 0, NULL, 0);
  TovFileInfo* files = (TovFileInfo*)malloc((count ? count : 1) * sizeof(TovFileInfo));
  int faults = tov_archive_index_directory(set, "", 0, files, count) != count;
  for (uint64_t i = 0; i < count; ++i) {
    TovFileInfo by_name, by_hash;
    uint64_t hash = tov_archive_hash(files[i].name, strlen(files[i].name));
    if (!tov_archive_access_file(set, files[i].name, &by_name) || by_name.data != files[i].data ||
        !tov_archive_access_file_by_hash(set, hash, &by_hash) || by_hash.data != files[i].data ||
        hash != files[i].hash) {
      fprintf(stderr, "%s: not found again\n", files[i].name);
      faults = 1;
    }
  }
  printf("%llu files\n", (unsigned long long)count);
  free(files);
  tov_archive_destroy(set);
  return faults;
}
