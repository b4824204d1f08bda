#include "names.h"

bool archive_name_is_valid(const char* name) {
  for (const char* at = name; *at; ++at) {
    char c = *at;
    bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '/' || c == '_';
    if (!ok) return false;
  }
  return true;
}

void archive_name_check(const char* name) {
  if (!archive_name_is_valid(name))
    sys_exit(-1,
             "File '%s' contains illegal characters (only [a-z0-9./_] allowed in TOV archive)\n",
             name);
}
