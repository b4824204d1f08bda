// SPDX-License-Identifier: Zlib
// The read floor of packing: open and read every file named in a list, one
// after another, into one reused buffer. `read_floor LIST`
#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::ifstream list(argv[1]);
  std::vector<char> buffer(1 << 20);
  unsigned long long total = 0;
  for (std::string path; std::getline(list, path);) {
    int file = open(path.c_str(), O_RDONLY);
    if (file < 0) continue;
    for (ssize_t got; (got = read(file, buffer.data(), buffer.size())) > 0;) total += (unsigned long long)got;
    close(file);
  }
  return total == 0;
}
