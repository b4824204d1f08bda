// SPDX-License-Identifier: Zlib
#include "json_minify.h"

namespace {

// Nesting beyond this is refused rather than recursed into.
constexpr u32 kMaxDepth = 512;

struct Parser {
  const char* at;
  const char* end;
  const char* start;
  ZuArray<char>* out;
  JsonError* error;
  u32 depth;
};

bool fail(Parser* p, const char* message) {
  u32 line = 1;
  const char* line_start = p->start;
  for (const char* c = p->start; c < p->at && c < p->end; ++c) {
    if (*c == '\n') {
      ++line;
      line_start = c + 1;
    }
  }
  p->error->line = line;
  p->error->column = (u32)(p->at - line_start) + 1;
  p->error->message = message;
  return false;
}

void emit(Parser* p, const char* from, u64 count) { zu_array_append(p->out, from, count); }

void skip_space(Parser* p) {
  while (p->at < p->end && (*p->at == ' ' || *p->at == '\t' || *p->at == '\n' || *p->at == '\r'))
    ++p->at;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_hex(char c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool parse_value(Parser* p);

bool parse_string(Parser* p) {
  const char* first = p->at++;  // the opening quote
  while (p->at < p->end && *p->at != '"') {
    unsigned char c = (unsigned char)*p->at;
    if (c < 0x20) return fail(p, "control character in string");
    if (c == '\\') {
      ++p->at;
      if (p->at >= p->end) break;
      char escape = *p->at;
      if (escape == 'u') {
        for (int i = 1; i <= 4; ++i)
          if (p->at + i >= p->end || !is_hex(p->at[i])) {
            p->at += i;
            return fail(p, "bad \\u escape");
          }
        p->at += 4;
      } else if (!sys_strchr("\"\\/bfnrt", escape) || escape == 0) {
        return fail(p, "bad escape in string");
      }
    }
    ++p->at;
  }
  if (p->at >= p->end) return fail(p, "unterminated string");
  ++p->at;
  emit(p, first, (u64)(p->at - first));
  return true;
}

bool parse_number(Parser* p) {
  const char* first = p->at;
  if (*p->at == '-') ++p->at;
  if (p->at >= p->end || !is_digit(*p->at)) return fail(p, "bad number");
  if (*p->at == '0')
    ++p->at;
  else
    while (p->at < p->end && is_digit(*p->at)) ++p->at;
  if (p->at < p->end && *p->at == '.') {
    ++p->at;
    if (p->at >= p->end || !is_digit(*p->at)) return fail(p, "bad number");
    while (p->at < p->end && is_digit(*p->at)) ++p->at;
  }
  if (p->at < p->end && (*p->at == 'e' || *p->at == 'E')) {
    ++p->at;
    if (p->at < p->end && (*p->at == '+' || *p->at == '-')) ++p->at;
    if (p->at >= p->end || !is_digit(*p->at)) return fail(p, "bad number");
    while (p->at < p->end && is_digit(*p->at)) ++p->at;
  }
  emit(p, first, (u64)(p->at - first));
  return true;
}

bool parse_word(Parser* p, const char* word) {
  u64 length = sys_strlen(word);
  if ((u64)(p->end - p->at) < length || sys_strncmp(p->at, word, length) != 0)
    return fail(p, "unexpected character");
  emit(p, p->at, length);
  p->at += length;
  return true;
}

// Objects and arrays: open, members separated by ',', close.
bool parse_container(Parser* p, char close, bool object) {
  if (++p->depth > kMaxDepth) return fail(p, "nested too deeply");
  emit(p, p->at++, 1);
  skip_space(p);
  if (p->at < p->end && *p->at == close) {
    emit(p, p->at++, 1);
    --p->depth;
    return true;
  }
  for (;;) {
    skip_space(p);
    if (object) {
      if (p->at >= p->end || *p->at != '"') return fail(p, "expected a member name");
      if (!parse_string(p)) return false;
      skip_space(p);
      if (p->at >= p->end || *p->at != ':') return fail(p, "expected ':'");
      emit(p, p->at++, 1);
      skip_space(p);
    }
    if (!parse_value(p)) return false;
    skip_space(p);
    if (p->at < p->end && *p->at == ',') {
      emit(p, p->at++, 1);
      continue;
    }
    if (p->at < p->end && *p->at == close) {
      emit(p, p->at++, 1);
      --p->depth;
      return true;
    }
    return fail(p, object ? "expected ',' or '}'" : "expected ',' or ']'");
  }
}

bool parse_value(Parser* p) {
  if (p->at >= p->end) return fail(p, "unexpected end of text");
  switch (*p->at) {
    case '{':
      return parse_container(p, '}', true);
    case '[':
      return parse_container(p, ']', false);
    case '"':
      return parse_string(p);
    case 't':
      return parse_word(p, "true");
    case 'f':
      return parse_word(p, "false");
    case 'n':
      return parse_word(p, "null");
    default:
      if (*p->at == '-' || is_digit(*p->at)) return parse_number(p);
      return fail(p, "unexpected character");
  }
}

}  // namespace

bool json_minify(const char* text, u64 size, ZuArray<char>* out, JsonError* error) {
  Parser p = {text, text + size, text, out, error, 0};
  // A byte-order mark is allowed before the text.
  if (size >= 3 && (u8)text[0] == 0xEF && (u8)text[1] == 0xBB && (u8)text[2] == 0xBF) p.at += 3;
  skip_space(&p);
  if (!parse_value(&p)) return false;
  skip_space(&p);
  if (p.at != p.end) return fail(&p, "text after the value");
  return true;
}
