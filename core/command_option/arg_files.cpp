// SPDX-License-Identifier: Zlib
// Argument files extend the command line: line files hold one argument per
// line, space files separate arguments by blanks and group them with double
// quotes, shell files are quoted as a shell reads words (how Ninja writes
// response files). Each file is read once per parse, so files that name each
// other do not loop.
#include "command_option.h"
#include "parse_internal.h"

ZU_COMMAND_OPTION(g_arg_file, 'f', "arg-file", "File which contains extra command line arguments",
                  kOptionMany, kOptionString);
ZU_COMMAND_OPTION(g_optional_arg_file, 'o', "optional-arg-file",
                  "Optional file which contains extra command line arguments", kOptionMany,
                  kOptionString);
ZU_COMMAND_OPTION(g_arg_file_space, 0, "arg-file-space",
                  "File which contains extra command line arguments(separated by space instead of "
                  "newline)",
                  kOptionMany, kOptionString);
ZU_COMMAND_OPTION(g_arg_file_shell, 0, "arg-file-shell",
                  "File which contains extra command line arguments, quoted as a shell quotes "
                  "words (a Ninja response file)",
                  kOptionMany, kOptionString);
ZU_COMMAND_OPTION(g_working_dir, 0, "working-dir", "Sets the current working dir", kOptionOne,
                  kOptionString);

namespace {

// The buffers of the argument files being read. A parse that ends through
// an exit handler (a host or test that unwinds instead of ending the
// process) leaves them here, and the next parse frees them.
struct OpenBuffers {
  char* buffers[64];
  char* originals[64];  // the bytes as read, while buffers holds their split
  ZuArray<char*> arguments[64];
  u32 count;
} g_open;

void release_open_buffers(u32 down_to) {
  while (g_open.count > down_to) {
    --g_open.count;
    sys_free(g_open.buffers[g_open.count]);
    sys_free(g_open.originals[g_open.count]);
    zu_array_destroy(&g_open.arguments[g_open.count]);
  }
}

enum ArgumentFileKind { kLineFile, kOptionalLineFile, kSpaceFile, kShellFile };

// Splits a space file in place: a double quote toggles quoting and is
// dropped, a blank, tab or line break outside quotes ends an argument (a
// file written by an editor ends in one), every other byte stays.
u64 split_spaces(char* text, u64 size) {
  u64 out = 0;
  bool quoted = false;
  for (u64 in = 0; in < size; ++in) {
    char c = text[in];
    bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
    if (c == '"')
      quoted = !quoted;
    else
      text[out++] = (blank && !quoted) ? 0 : c;
  }
  text[out] = 0;
  return out;
}

// Splits a shell file in place, as a POSIX shell splits words without
// expanding anything: blanks and line breaks outside quotes end an argument;
// single quotes keep every byte up to the next one ('\'' is a quote inside a
// quoted path, as Ninja writes it); double quotes keep every byte but a
// backslash before " \ $ or `; a backslash outside quotes keeps the next
// byte; a backslash before a line break joins the lines. An empty quoted
// argument gives nothing. Returns false when the file ends inside a quote, a
// sign that it was cut short.
bool split_shell(char* text, u64* size) {
  u64 out = 0, end = *size;
  char quote = 0;
  for (u64 in = 0; in < end; ++in) {
    char c = text[in];
    if (quote == '\'') {
      if (c == '\'')
        quote = 0;
      else
        text[out++] = c;
    } else if (c == '\\' && in + 1 < end && (!quote || memchr("\"\\$`\n", text[in + 1], 5))) {
      if (text[++in] != '\n') text[out++] = text[in];
    } else if (quote == '"') {
      if (c == '"')
        quote = 0;
      else
        text[out++] = c;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else {
      text[out++] = (c == ' ' || c == '\t' || c == '\n' || c == '\r') ? 0 : c;
    }
  }
  text[out] = 0;
  *size = out;
  return quote == 0;
}

// Every module parses the command line again, and a pack step's file names
// tens of thousands of paths: the scans below go through memchr and
// strnlen rather than byte by byte.
void replace_with_nul(char* text, u64 size, char c) {
  for (char* at = text; (at = (char*)memchr(at, c, (u64)(text + size - at))); ++at) *at = 0;
}

u64 split_lines(char* text, u64 size) {
  replace_with_nul(text, size, '\n');
  replace_with_nul(text, size, '\r');
  return size;
}

// The whole file, whatever it is: a pipe has no size, so it is read to its
// end; a device that never ends (/dev/zero) stops at a limit far above any
// list of files. The buffer has room for a terminating 0.
constexpr u64 kArgumentFileLimit = 256ull << 20;

char* read_to_end(ZuFile* file, const char* path, u64* size) {
  u64 capacity = filesystem_file_size(file) + 2;
  if (capacity < 4096) capacity = 4096;
  char* buffer = (char*)sys_malloc(capacity);
  u64 used = 0;
  for (;;) {
    if (used > kArgumentFileLimit)
      sys_exit(-1, "Argument file '%s' is larger than 256 MiB, aborted\n", path);
    if (used == capacity - 1) {
      capacity *= 2;
      char* grown = (char*)sys_malloc(capacity);
      memcpy(grown, buffer, used);
      sys_free(buffer);
      buffer = grown;
    }
    u64 got = filesystem_file_read(file, buffer + used, capacity - 1 - used);
    if (got == 0) break;
    used += got;
  }
  *size = used;
  return buffer;
}

// Every module parses the command line again, and a pack step's file names
// tens of thousands of paths: a file's arguments, once split for a kind,
// are kept for the process and serve every later parse that reads the same
// bytes. Comparing bytes, not times, holds when a file is rewritten within
// one tick of the file system's clock.
constexpr u32 kAnyKind = ~0u;

KeptArgumentFile* find_kept(const char* path, u32 kind) {
  HostContext* host = zu_host();
  if (!host) return nullptr;
  for (u32 i = 0; i < host->kept_argument_files.count; ++i) {
    KeptArgumentFile* kept = host->kept_argument_files.data + i;
    if ((kind == kAnyKind || kept->kind == kind) && zu_string_equal_text(&kept->path, path))
      return kept;
  }
  return nullptr;
}

// The bytes of an argument file: read now, or, for a file that cannot be
// read twice (once), as an earlier parse of this process read them. Null
// when the file cannot be opened.
char* argument_file_bytes(const char* path, bool once, u64* size) {
  if (const KeptArgumentFile* kept = once ? find_kept(path, kAnyKind) : nullptr) {
    *size = kept->size;
    char* copy = (char*)sys_malloc(kept->size + 1);
    memcpy(copy, kept->bytes, kept->size);
    return copy;
  }
  ZuFile* file = filesystem_file_create(path, 0, 0);
  if (!file) return nullptr;
  char* bytes = read_to_end(file, path, size);
  filesystem_file_destroy(file);
  return bytes;
}

// Whether the file at path holds kept's bytes, compared as they are read
// rather than read whole first.
bool holds_bytes(const char* path, const KeptArgumentFile* kept) {
  ZuFile* file = filesystem_file_create(path, 0, 0);
  if (!file) return false;
  char chunk[64 << 10];
  u64 at = 0, got;
  bool same = true;
  while (same && (got = filesystem_file_read(file, chunk, sizeof(chunk))) > 0) {
    same = got <= kept->size - at && memcmp(chunk, kept->bytes + at, got) == 0;
    at += got;
  }
  filesystem_file_destroy(file);
  return same && at == kept->size;
}

// Hands bytes and their split (text, arguments) to the kept entry for path
// and kind, in place of what it held; returns the arguments there.
ZuArray<char*>* keep_arguments(const char* path, ArgumentFileKind kind, char* bytes, u64 size,
                               char* text, ZuArray<char*>* arguments) {
  KeptArgumentFile* kept = find_kept(path, kind);
  if (kept) {
    sys_free(kept->bytes);
    sys_free(kept->text);
    zu_array_destroy(&kept->arguments);
  } else {
    kept = zu_array_push_zeroed(&zu_host()->kept_argument_files);
    zu_string_init(&kept->path, path);
    kept->kind = (u32)kind;
  }
  kept->bytes = bytes;
  kept->size = size;
  kept->text = text;
  kept->arguments = *arguments;
  *arguments = {};
  return &kept->arguments;
}

bool already_seen(CommandOptionParseState* state, const ZuString* path) {
  const ZuString* seen = zu_small_array_data(&state->seen);
  for (u32 i = 0; i < zu_small_array_count(&state->seen); ++i)
    if (zu_string_equal(seen + i, path)) return true;
  return false;
}

void parse_file_arguments(const ZuArray<char*>* arguments, ArgumentFileKind kind, u8 lenient,
                          CommandOptionParseState* state) {
  if (arguments->count > 0)
    command_option_parse_arguments((i32)arguments->count, arguments->data, lenient, state, 0,
                                   kind == kOptionalLineFile);
}

void read_argument_file(const char* value, ArgumentFileKind kind, u8 lenient,
                        CommandOptionParseState* state) {
  ZuString path;
  zu_string_init(&path, value);
  sys_strreplace_any(zu_string_data(&path), "\\", '/');
  if (already_seen(state, &path)) {
    zu_string_destroy(&path);
    return;
  }
  zu_small_array_push(&state->seen, path);  // the list owns path from here
  const char* text = zu_string_text(&path);
  bool once = (filesystem_get_attr(text) & ZU_ATTR_SPECIAL) != 0;
  // A nested parse may add kept entries, moving this one, but never
  // replaces it: the seen list reads each file once per parse.
  KeptArgumentFile* kept = find_kept(text, kind);
  if (kept && (once || holds_bytes(text, kept))) {
    parse_file_arguments(&kept->arguments, kind, lenient, state);
    return;
  }
  u64 size;
  char* bytes = argument_file_bytes(text, once, &size);
  if (!bytes) {
    if (kind == kOptionalLineFile) return;
    sys_exit(-1, "Cannot open argument file '%s', aborted\n", text);
  }
  if (g_open.count == sizeof(g_open.buffers) / sizeof(g_open.buffers[0]))
    sys_exit(-1, "Argument files nest deeper than %u, aborted\n", g_open.count);
  u32 slot = g_open.count++;
  char* buffer = g_open.buffers[slot] = bytes;
  g_open.originals[slot] = nullptr;
  if (zu_host()) {  // split a copy: the bytes are kept to compare
    g_open.originals[slot] = bytes;
    buffer = g_open.buffers[slot] = (char*)sys_malloc(size + 1);
    memcpy(buffer, bytes, size);
  }
  ZuArray<char*>* arguments = &g_open.arguments[slot];
  *arguments = {};
  buffer[size] = 0;
  u64 split_size = size;
  if (kind == kShellFile) {
    if (!split_shell(buffer, &split_size))
      sys_exit(-1, "Argument file '%s' ends inside a quote, aborted\n", text);
  } else {
    split_size = kind == kSpaceFile ? split_spaces(buffer, size) : split_lines(buffer, size);
  }
  for (u64 i = 0; i < split_size;) {
    u64 length = strnlen(buffer + i, split_size - i);
    if (length) zu_array_push(arguments, buffer + i);
    i += length + 1;
  }
  if (arguments->count > 0x7FFFFFFFu)
    sys_exit(-1, "Argument file '%s' holds too many arguments, aborted\n", text);
  if (zu_host()) {
    g_open.buffers[slot] = g_open.originals[slot] = nullptr;
    arguments = keep_arguments(text, kind, bytes, size, buffer, arguments);
  }
  parse_file_arguments(arguments, kind, lenient, state);
  release_open_buffers(slot);
}

}  // namespace

void command_option_release_abandoned(void) { release_open_buffers(0); }

void command_option_apply_working_dir(CommandOptionParseState* state) {
  if (state->working_dir_applied || !command_option_is_set(&g_working_dir)) return;
  state->working_dir_applied = 1;
  const char* folder = zu_string_text(command_option_value(&g_working_dir, 0));
  HostContext* host = zu_host();
  // Every module parses the whole command line again; a relative folder
  // must be entered once only.
  if (host && zu_string_equal_text(&host->applied_working_dir, folder)) return;
  if (!filesystem_set_current_directory(folder))
    sys_exit(-1, "Cannot change to working directory '%s', aborted\n", folder);
  if (host) zu_string_assign_range(&host->applied_working_dir, folder, folder + strlen(folder) + 1);
}

void command_option_read_argument_files(u8 lenient, CommandOptionParseState* state) {
  for (u64 k = 0;; ++k) {
    // Counts are taken anew each time: a nested file may add values, and
    // the seen list keeps every file to one reading.
    u64 line_files = command_option_count(&g_arg_file);
    u64 optional_files = command_option_count(&g_optional_arg_file);
    u64 space_files = command_option_count(&g_arg_file_space);
    u64 shell_files = command_option_count(&g_arg_file_shell);
    CommandOption** handle;
    ArgumentFileKind kind;
    u64 index = k;
    if (index < line_files) {
      handle = &g_arg_file;
      kind = kLineFile;
    } else if ((index -= line_files) < optional_files) {
      handle = &g_optional_arg_file;
      kind = kOptionalLineFile;
    } else if ((index -= optional_files) < space_files) {
      handle = &g_arg_file_space;
      kind = kSpaceFile;
    } else if ((index -= space_files) < shell_files) {
      handle = &g_arg_file_shell;
      kind = kShellFile;
    } else {
      return;
    }
    // read_argument_file copies the path before a nested parse can move the
    // value block.
    read_argument_file(zu_string_text(command_option_value(handle, index)), kind, lenient, state);
  }
}

void host_context_release_argument_files(HostContext* host) {
  for (u32 i = 0; i < host->kept_argument_files.count; ++i) {
    KeptArgumentFile* kept = host->kept_argument_files.data + i;
    zu_string_destroy(&kept->path);
    sys_free(kept->bytes);
    sys_free(kept->text);
    zu_array_destroy(&kept->arguments);
  }
  zu_array_destroy(&host->kept_argument_files);
}
