// SPDX-License-Identifier: Zlib
// What the cooking libraries share in reading settings files (TOML, through
// toml++): messages naming file and line, and keys that take one of a few
// names. Compiled into each cooking library, never into a module.
#pragma once

#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include <string>

#include "cook_request.h"
#include "zu_array.h"

// Adds "path:line: message\n" to messages (kept NUL-terminated); returns
// false, for the callers' returns.
bool settings_fail(ZuArray<char>* messages, const char* path, u32 line, const std::string& message);

// The index of node's text among names into *out; a message naming the key,
// its line and the names allowed otherwise.
bool settings_choose(const toml::node& node, const char* key, const char* const* names, u32 count,
                     u32* out, const char* path, ZuArray<char>* messages);

// Parses text (the file at path) into *table; a message on a TOML error.
bool settings_parse(const char* path, const char* text, u64 size, toml::table* table,
                    ZuArray<char>* messages);

// A number (whole or not) between low and high from node into *out.
bool settings_real(const toml::node& node, const char* key, double low, double high, double* out,
                   const char* path, ZuArray<char>* messages);

// true or false from node into *out.
bool settings_flag(const toml::node& node, const char* key, bool* out, const char* path,
                   ZuArray<char>* messages);

// Parses text (the file at path) and hands each key to read(name, key,
// node); false at a TOML error or at the first key read refuses.
template <class Read>
bool settings_read_keys(const char* path, const char* text, u64 size, ZuArray<char>* messages,
                        Read read) {
  toml::table table;
  if (!settings_parse(path, text, size, &table, messages)) return false;
  for (const auto& [key, node] : table)
    if (!read(std::string(key.str()), key, node)) return false;
  return true;
}

// A whole number between low and high from node into *out.
bool settings_number(const toml::node& node, const char* key, i64 low, i64 high, i64* out,
                     const char* path, ZuArray<char>* messages);

// Reads the files in order, each over what the ones before set, through
// read (a kind's own reader: shader, texture, font); false at the first
// that fails, its message in messages.
template <class Settings, class Read>
bool settings_read_files(const SettingsFile* files, u32 count, Settings* settings,
                         ZuArray<char>* messages, Read read) {
  for (u32 i = 0; i < count; ++i)
    if (!read(files[i].path, files[i].text, files[i].size, settings, messages)) return false;
  return true;
}
