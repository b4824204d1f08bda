// SPDX-License-Identifier: Zlib
// Makes a deterministic synthetic asset tree: `make_tree FOLDER COUNT [SEED]`.
// Names are about 40 bytes in two levels of folders; sizes are skewed: most
// files 100 B to 4 KiB, some up to 64 KiB, one in a thousand up to 4 MiB.
// Endings follow a game's mix of data, headers, sources and string tables.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <random>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s FOLDER COUNT [SEED]\n", argv[0]);
    return 2;
  }
  std::string root = argv[1];
  long count = atol(argv[2]);
  std::mt19937_64 random(argc > 3 ? strtoull(argv[3], nullptr, 10) : 1);
  const char* endings[] = {".bin", ".bin", ".bin", ".bin", ".h", ".cpp", ".strtbl"};
  std::vector<char> buffer((4 << 20) + 1024);
  for (char& c : buffer) c = (char)('a' + random() % 26);
  for (char* at = buffer.data() + 60; at < buffer.data() + buffer.size(); at += 61) *at = '\n';
  mkdir(root.c_str(), 0755);
  for (long i = 0; i < count; ++i) {
    char folder[64], name[128];
    snprintf(folder, sizeof(folder), "%s/area_%02ld", root.c_str(), i % 37);
    mkdir(folder, 0755);
    snprintf(folder + strlen(folder), sizeof(folder) - strlen(folder), "/zone_%03ld", i % 211);
    mkdir(folder, 0755);
    snprintf(name, sizeof(name), "%s/asset_%07ld_%06llx%s", folder, i,
             (unsigned long long)(random() & 0xffffff), endings[i % 7]);
    u_int64_t pick = random() % 1000;
    size_t size = pick == 0   ? 65536 + random() % ((4 << 20) - 65536)
                  : pick < 50 ? 4096 + random() % (65536 - 4096)
                              : 100 + random() % (4096 - 100);
    FILE* file = fopen(name, "wb");
    if (!file) return 1;
    fwrite(buffer.data() + random() % 1024, 1, size, file);
    fclose(file);
  }
  return 0;
}
