// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <string>

#include "json_minify.h"

namespace {

std::string minify(const std::string& text, JsonError* error = nullptr) {
  ZuArray<char> out = {};
  JsonError ignored;
  bool ok = json_minify(text.data(), text.size(), &out, error ? error : &ignored);
  std::string result = ok ? std::string(out.data ? out.data : "", out.count) : "<error>";
  zu_array_destroy(&out);
  return result;
}

}  // namespace

TEST(JsonMinify, KeepsStringsAndDropsWhitespace) {
  EXPECT_EQ(minify(" { \"a b\" : [ 1 , -2.5e+3 , true , false , null , \"\\u00e9\\n\" ] , \"o\": {} }\r\n"),
            "{\"a b\":[1,-2.5e+3,true,false,null,\"\\u00e9\\n\"],\"o\":{}}");
  EXPECT_EQ(minify("\xEF\xBB\xBF[]"), "[]");
  EXPECT_EQ(minify("0"), "0");
}

TEST(JsonMinify, FaultsNameLineAndColumn) {
  struct Case {
    std::string text;
    u32 line, column;
    std::string message;
  } cases[] = {
      {"{\"a\": 1,, }", 1, 9, "expected a member name"},
      {"[1,\n  2\n  3]", 3, 3, "expected ',' or ']'"},
      {"\"open", 1, 6, "unterminated string"},
      {"[01]", 1, 3, "expected ',' or ']'"},
      {"[1.]", 1, 4, "bad number"},
      {"{\"a\" 1}", 1, 6, "expected ':'"},
      {"tru", 1, 1, "unexpected character"},
      {"[] []", 1, 4, "text after the value"},
      {"", 1, 1, "unexpected end of text"},
      {"\"a\tb\"", 1, 3, "control character in string"},
      {"\"\\x\"", 1, 3, "bad escape in string"},
      {std::string(600, '['), 1, 513, "nested too deeply"},
  };
  for (const Case& c : cases) {
    JsonError error = {};
    EXPECT_EQ(minify(c.text, &error), "<error>") << c.text;
    EXPECT_EQ(error.line, c.line) << c.text;
    EXPECT_EQ(error.column, c.column) << c.text;
    EXPECT_EQ(std::string(error.message), c.message) << c.text;
  }
}
