// Enemy names, sorted and joined with the C++ standard library at build
// time: writes data/names.bin, one NUL-terminated name after another.
#include <tov_data.h>

#include <algorithm>
#include <string>
#include <vector>

extern "C" void tov_compile_data(CommandContext* context, void*) {
  std::vector<std::string> names = {"orc", "goblin", "troll", "bat"};
  std::sort(names.begin(), names.end());
  std::string joined;
  for (const std::string& name : names) joined += name + '\0';
  tov_write(context, 0, joined.data(), joined.size());
}
