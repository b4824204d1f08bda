// SPDX-License-Identifier: Zlib
// Depfiles: which files a step read beyond its inputs, so that Ninja runs it
// again when one of them changes. Written for every command that discovers
// its inputs while it runs (C/C++ data and its headers, shaders and their
// includes), and exported to the engine modules.
#include "depfile.h"

#include "tov/tov_build.h"

namespace {

// Depfiles are read with make's rules: a blank or '#' inside a path is
// escaped with a backslash, '$' is doubled.
void write_escaped(ZuFile* file, const char* prefix, const char* path) {
  char buffer[4096];
  u64 length = 0;
  for (const char* parts[] = {prefix, path}; const char* part : parts) {
    for (const char* at = part; *at && length + 2 < sizeof(buffer); ++at) {
      if (*at == ' ' || *at == '#')
        buffer[length++] = '\\';
      else if (*at == '$')
        buffer[length++] = '$';
      buffer[length++] = *at;
    }
  }
  filesystem_file_write(file, buffer, length);
}

}  // namespace

void tov_write_depfile(const char* path, const char* output, const char* prefix,
                       const char* const* inputs, u64 count) {
  ZuFile* file = filesystem_file_create(path, 1, 0);
  if (!file) sys_exit(-1, "ERROR: Couldn't open depfile '%s'", path);
  write_escaped(file, "", output);
  filesystem_file_write(file, ":", 1);
  for (u64 i = 0; i < count; ++i) {
    filesystem_file_write(file, " ", 1);
    write_escaped(file, inputs[i][0] == '/' ? "" : prefix, inputs[i]);
  }
  if (!filesystem_file_destroy(file))
    sys_exit(-1, "ERROR: Couldn't write depfile '%s' (is the disk full?)", path);
}

bool depfile_read(const char* path, ZuArray<ZuString>* inputs) {
  ZuFile* file = filesystem_file_create(path, 0, 0);
  if (!file) return false;
  u64 size = filesystem_file_size(file);
  char* text = (char*)sys_malloc(size + 1);
  bool ok = filesystem_file_read(file, text, size) == size;
  filesystem_file_destroy(file);
  text[size] = 0;
  // The first path is the output, up to its ':'; then the inputs, as the
  // writer above escapes them.
  char* word = (char*)sys_malloc(size + 1);
  u64 length = 0;
  bool output = true;
  for (u64 i = 0; ok && i <= size; ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < size && (text[i + 1] == ' ' || text[i + 1] == '#')) {
      word[length++] = text[++i];
    } else if (c == '\\' && i + 1 < size && text[i + 1] == '\n') {
      ++i;
    } else if (c == '$' && i + 1 < size && text[i + 1] == '$') {
      word[length++] = text[++i];
    } else if (c == ':' && output && (i + 1 >= size || text[i + 1] == ' ' || text[i + 1] == '\n')) {
      output = false;
      length = 0;
    } else if (c == ' ' || c == '\n' || c == '\t' || c == 0) {
      if (length && !output) {
        word[length] = 0;
        zu_string_init(zu_array_push_zeroed(inputs), word);
      }
      if (!output)
        length = 0;
      else if (length)
        word[length++] = c;
    } else {
      word[length++] = c;
    }
  }
  sys_free(word);
  sys_free(text);
  return ok && !output;
}
