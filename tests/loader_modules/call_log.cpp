// SPDX-License-Identifier: Zlib
#include "call_log.h"

#include <string>

namespace {
std::string& log() {
  static std::string text;
  return text;
}
}  // namespace

void call_log_add(const char* line) {
  log() += line;
  log() += '\n';
}

const char* call_log_text(void) { return log().c_str(); }

void call_log_clear(void) { log().clear(); }
