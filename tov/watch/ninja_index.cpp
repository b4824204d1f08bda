// SPDX-License-Identifier: Zlib
// Reads build.ninja as the tool writes it: top-level variables, build
// statements with their bindings, and the rule of --tov-regenerate. Only
// what the watcher needs is kept; the rest of Ninja's language (scopes,
// rules of the included files) is left to Ninja.
#include "ninja_index.h"

#include "zu_sort.h"

namespace {

bool is_name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}

// Where the logical line that starts at at ends (a '$' before the line
// break carries it on), and where the next one starts.
u64 line_end(const char* text, u64 size, u64 at, u64* next) {
  u64 end = at;
  // An escape is stepped over whole: "$\n" carries the line on.
  while (end < size && text[end] != '\n') end += text[end] == '$' && end + 1 < size ? 2 : 1;
  if (end > size) end = size;
  *next = end < size ? end + 1 : size;
  return end;
}

// Text with $-escapes undone and ${name} or $name replaced by the value of
// a variable of index (scope: the top level).
void expand(const NinjaIndex* index, const char* text, u64 begin, u64 end, ZuString* out) {
  for (u64 at = begin; at < end;) {
    char c = text[at];
    if (c != '$' || at + 1 >= end) {
      zu_string_add_char(out, c);
      ++at;
      continue;
    }
    char next = text[at + 1];
    if (next == '$' || next == ' ' || next == ':') {
      zu_string_add_char(out, next);
      at += 2;
    } else if (next == '\n') {
      at += 2;
      while (at < end && text[at] == ' ') ++at;
    } else {
      u64 name = at + 1, name_end;
      if (next == '{') {
        name = at + 2;
        name_end = name;
        while (name_end < end && text[name_end] != '}') ++name_end;
        at = name_end + 1;
      } else {
        name_end = name;
        while (name_end < end && is_name_char(text[name_end])) ++name_end;
        at = name_end;
      }
      for (u32 v = 0; v < index->variables.count; ++v) {
        const ZuString* variable = &index->variables.data[v].name;
        if (zu_string_size(variable) == name_end - name &&
            memcmp(zu_string_text(variable), text + name, name_end - name) == 0) {
          zu_string_add_text(out, zu_string_text(&index->variables.data[v].value));
          break;
        }
      }
    }
  }
}

// The next token of a build line from *at: false at the line's end. In the
// outputs, an unescaped ':' ends the token and is reported in *colon.
bool next_token(const char* text, u64 end, u64* at, NinjaToken* token, bool* colon) {
  *colon = false;
  u64 i = *at;
  while (i < end && (text[i] == ' ' || (text[i] == '$' && i + 1 < end && text[i + 1] == '\n'))) {
    if (text[i] == '$')
      i += 2;
    else
      ++i;
  }
  if (i >= end) return false;
  if (text[i] == ':') {
    *colon = true;
    *at = i + 1;
    token->begin = token->end = i;
    return true;
  }
  u64 begin = i;
  while (i < end && text[i] != ' ' && text[i] != ':') {
    if (text[i] == '$' && i + 1 < end) {
      if (text[i + 1] == '\n') break;
      i += 2;
    } else {
      ++i;
    }
  }
  token->begin = begin;
  token->end = i;
  if (i < end && text[i] == ':') {
    *colon = true;
    ++i;
  }
  *at = i;
  return true;
}

bool token_is(const char* text, NinjaToken token, const char* word) {
  u64 length = strlen(word);
  return token.end - token.begin == length && memcmp(text + token.begin, word, length) == 0;
}

// Parses "build outputs : rule inputs", the line [begin, end), into a
// statement whose text runs to next; false when the line is none.
bool parse_statement(NinjaIndex* index, u64 begin, u64 end, u64 next) {
  const char* text = index->text.data;
  NinjaStatement statement = {};
  statement.begin = begin;
  statement.end = next;
  statement.outputs = index->tokens.count;
  u64 at = begin + 6;  // "build "
  NinjaToken token;
  bool colon = false;
  while (next_token(text, end, &at, &token, &colon)) {
    if (token.end > token.begin && !token_is(text, token, "|")) {
      zu_array_push(&index->tokens, token);
      ++statement.output_count;
    }
    if (colon) break;
  }
  if (!colon || !next_token(text, end, &at, &statement.rule, &colon)) {
    index->tokens.count = statement.outputs;
    return false;
  }
  statement.inputs = index->tokens.count;
  bool listed = true;  // explicit and implicit inputs; not order-only ones or validations
  while (next_token(text, end, &at, &token, &colon)) {
    if (token_is(text, token, "|")) continue;
    if (token_is(text, token, "||") || token_is(text, token, "|@")) {
      listed = false;
      continue;
    }
    if (!listed) continue;
    zu_array_push(&index->tokens, token);
    ++statement.input_count;
  }
  zu_array_push(&index->statements, statement);
  return true;
}

// "  name = value" of the statement or rule above.
void parse_binding(NinjaIndex* index, u64 begin, u64 end, bool in_statement, bool in_regenerate) {
  const char* text = index->text.data;
  u64 name = begin;
  while (name < end && text[name] == ' ') ++name;
  u64 name_end = name;
  while (name_end < end && is_name_char(text[name_end])) ++name_end;
  u64 value = name_end;
  while (value < end && (text[value] == ' ' || text[value] == '=')) ++value;
  auto is = [&](const char* word) {
    return name_end - name == strlen(word) && memcmp(text + name, word, name_end - name) == 0;
  };
  if (in_statement) {
    NinjaStatement* statement = index->statements.data + index->statements.count - 1;
    if (is("out_depfile")) statement->has_depfile = true;
    if (is("tov_types") && ninja_statement_rule_is(index, statement, "tov")) {
      zu_array_clear(&index->pack_types);
      for (const char* at = text + value; at < text + end;) {
        const char* number_end;
        u64 type = sys_atou(at, 10, &number_end);
        if (number_end == at) break;
        zu_array_push(&index->pack_types, (u16)type);
        at = number_end;
        while (at < text + end && *at == ' ') ++at;
      }
    }
  } else if (in_regenerate && is("command")) {
    // command = cd "FOLDER" && "$boot" --arg-file "${od}regenerate.args"
    const char* quote = (const char*)memchr(text + value, '"', end - value);
    const char* close =
        quote ? (const char*)memchr(quote + 1, '"', text + end - quote - 1) : nullptr;
    if (close) zu_string_init_text(&index->generation_folder, quote + 1, close);
  }
}

void parse_variable(NinjaIndex* index, u64 begin, u64 end) {
  const char* text = index->text.data;
  u64 name_end = begin;
  while (name_end < end && is_name_char(text[name_end])) ++name_end;
  u64 value = name_end;
  while (value < end && text[value] == ' ') ++value;
  if (value >= end || text[value] != '=') return;
  ++value;
  while (value < end && text[value] == ' ') ++value;
  NinjaVariable variable;
  zu_string_init_text(&variable.name, text + begin, text + name_end);
  zu_string_init_empty(&variable.value);
  expand(index, text, value, end, &variable.value);
  // A later binding of a name replaces the earlier one.
  for (u32 v = 0; v < index->variables.count; ++v) {
    if (!zu_string_equal(&index->variables.data[v].name, &variable.name)) continue;
    zu_string_destroy(&index->variables.data[v].name);
    zu_string_destroy(&index->variables.data[v].value);
    index->variables.data[v] = variable;
    return;
  }
  zu_array_push(&index->variables, variable);
}

void add_keys(NinjaIndex* index) {
  for (u32 s = 0; s < index->statements.count; ++s) {
    const NinjaStatement* statement = index->statements.data + s;
    bool pack = ninja_statement_rule_is(index, statement, "tov");
    for (u32 i = 0; i < statement->input_count; ++i) {
      u64 hash = ninja_index_path_hash(index, index->tokens.data[statement->inputs + i]);
      zu_array_push(&index->by_input, NinjaPathKey{hash, s});
      if (pack && i + 1 < statement->input_count)
        zu_array_push(&index->pack_members, NinjaPathKey{hash, i});
    }
    for (u32 o = 0; o < statement->output_count; ++o)
      zu_array_push(
          &index->by_output,
          NinjaPathKey{ninja_index_path_hash(index, index->tokens.data[statement->outputs + o]),
                       s});
    if (ninja_statement_rule_is(index, statement, "tov")) index->pack = s;
    if (ninja_statement_rule_is(index, statement, "fileinfo")) index->catalogue = s;
    if (ninja_statement_rule_is(index, statement, "tov_regenerate")) index->regenerate = s;
  }
  zu_sort_array(&index->by_input);
  zu_sort_array(&index->by_output);
  zu_sort_array(&index->pack_members);
}

u64 key_hash(const NinjaPathKey* key) { return key->hash; }

}  // namespace

bool ninja_index_load(NinjaIndex* index, const char* path, ZuString* error) {
  memset((void*)index, 0, sizeof(*index));
  index->pack = index->catalogue = index->regenerate = kNoStatement;
  zu_string_init_empty(&index->generation_folder);
  ZuFile* file = filesystem_file_create(path, 0, 0);
  if (!file) {
    zu_string_init(error, "cannot be read");
    return false;
  }
  filesystem_get_stamp(path, &index->stamp);
  u64 size = filesystem_file_size(file);
  zu_array_resize(&index->text, size + 1);
  bool read = filesystem_file_read(file, index->text.data, size) == size;
  filesystem_file_destroy(file);
  index->text.data[size] = 0;
  if (!read) {
    zu_string_init(error, "cannot be read");
    return false;
  }
  const char* text = index->text.data;
  index->header_end = size;
  enum { kNone, kStatement, kRule, kRegenerate } block = kNone;
  for (u64 at = 0, next; at < size; at = next) {
    u64 end = line_end(text, size, at, &next);
    if (end == at || text[at] == '#') continue;
    if (text[at] == ' ') {
      if (block == kStatement) index->statements.data[index->statements.count - 1].end = next;
      if (block == kStatement || block == kRegenerate)
        parse_binding(index, at, end, block == kStatement, block == kRegenerate);
      continue;
    }
    if (end - at > 6 && memcmp(text + at, "build ", 6) == 0) {
      if (index->statements.count == 0) index->header_end = at;
      block = parse_statement(index, at, end, next) ? kStatement : kNone;
    } else if (end - at > 5 && memcmp(text + at, "rule ", 5) == 0) {
      block =
          end - at == 19 && memcmp(text + at + 5, "tov_regenerate", 14) == 0 ? kRegenerate : kRule;
    } else {
      block = kNone;
      // Variables of the header only: the statements may not use any other.
      if (index->statements.count == 0 && memchr(text + at, '=', end - at))
        parse_variable(index, at, end);
    }
  }
  if (!*ninja_index_variable(index, "wd") || !*ninja_index_variable(index, "od")) {
    zu_string_init(error, "was not written by tov (no variables wd and od)");
    return false;
  }
  add_keys(index);
  return true;
}

void ninja_index_destroy(NinjaIndex* index) {
  for (u32 v = 0; v < index->variables.count; ++v) {
    zu_string_destroy(&index->variables.data[v].name);
    zu_string_destroy(&index->variables.data[v].value);
  }
  zu_array_destroy(&index->variables);
  zu_array_destroy(&index->text);
  zu_array_destroy(&index->tokens);
  zu_array_destroy(&index->statements);
  zu_array_destroy(&index->by_input);
  zu_array_destroy(&index->by_output);
  zu_array_destroy(&index->pack_types);
  zu_array_destroy(&index->pack_members);
  zu_string_destroy(&index->generation_folder);
}

const char* ninja_index_variable(const NinjaIndex* index, const char* name) {
  for (u32 v = 0; v < index->variables.count; ++v)
    if (zu_string_equal_text(&index->variables.data[v].name, name))
      return zu_string_text(&index->variables.data[v].value);
  return "";
}

void ninja_canonical(ZuString* path) {
  // The components kept so far, as (start, length) in the result.
  const char* text = zu_string_text(path);
  u64 length = zu_string_size(path);
  bool absolute = length > 0 && text[0] == '/';
  bool folder = length > 0 && text[length - 1] == '/';
  ZuArray<u64> starts = {}, lengths = {};
  for (u64 at = 0; at < length;) {
    u64 end = at;
    while (end < length && text[end] != '/') ++end;
    u64 size = end - at;
    if (size == 0 || (size == 1 && text[at] == '.')) {
      // an empty or "." component
    } else if (size == 2 && text[at] == '.' && text[at + 1] == '.' && starts.count &&
               !(lengths.data[lengths.count - 1] == 2 &&
                 text[starts.data[starts.count - 1]] == '.')) {
      --starts.count;
      --lengths.count;
    } else {
      zu_array_push(&starts, at);
      zu_array_push(&lengths, size);
    }
    at = end + 1;
  }
  ZuString out;
  zu_string_init(&out, absolute ? "/" : "");
  for (u32 i = 0; i < starts.count; ++i) {
    if (i) zu_string_add_char(&out, '/');
    zu_string_add_range(&out, text + starts.data[i], text + starts.data[i] + lengths.data[i]);
  }
  if (folder && starts.count) zu_string_add_char(&out, '/');
  if (zu_string_size(&out) == 0) zu_string_add_char(&out, '.');
  zu_string_destroy(path);
  *path = out;
  zu_array_destroy(&starts);
  zu_array_destroy(&lengths);
}

void ninja_index_path(const NinjaIndex* index, NinjaToken token, ZuString* out) {
  zu_string_init_empty(out);
  expand(index, index->text.data, token.begin, token.end, out);
  ninja_canonical(out);
}

u64 ninja_index_path_hash(const NinjaIndex* index, NinjaToken token) {
  ZuString path;
  ninja_index_path(index, token, &path);
  u64 hash = zu_hash(zu_string_text(&path), zu_string_size(&path));
  zu_string_destroy(&path);
  return hash;
}

const NinjaPathKey* ninja_index_readers(const NinjaIndex* index, u64 hash,
                                        const NinjaPathKey** end) {
  const NinjaPathKey* found = zu_binary_search_by(&index->by_input, hash, key_hash);
  if (!found) {
    *end = nullptr;
    return nullptr;
  }
  const NinjaPathKey* first = found;
  while (first > index->by_input.data && first[-1].hash == hash) --first;
  const NinjaPathKey* last = found;
  const NinjaPathKey* limit = index->by_input.data + index->by_input.count;
  while (last < limit && last->hash == hash) ++last;
  *end = last;
  return first;
}

u32 ninja_index_writer(const NinjaIndex* index, u64 hash) {
  const NinjaPathKey* found = zu_binary_search_by(&index->by_output, hash, key_hash);
  return found ? found->statement : kNoStatement;
}

bool ninja_statement_rule_is(const NinjaIndex* index, const NinjaStatement* statement,
                             const char* name) {
  return token_is(index->text.data, statement->rule, name);
}
