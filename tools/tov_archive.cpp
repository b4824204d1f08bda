// SPDX-License-Identifier: Zlib
// tov-archive: looks inside .tov archives through the exported runtime API.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tov/tov_archive.h"
#include "tov_version.h"
#include "zu_sys.h"

namespace {

const char kHelp[] =
    "usage: tov-archive COMMAND ARCHIVE [ARGUMENTS] [--json]\n"
    "\n"
    "  list ARCHIVE [DIRECTORY] [--type N]   files (name, type, size, checksum)\n"
    "  info ARCHIVE                          size, counts per type, directories\n"
    "  cat ARCHIVE NAME                      a file's bytes to standard output\n"
    "  extract ARCHIVE DESTINATION [NAME...] files into a folder (all without names);\n"
    "                                        --force overwrites files already there\n"
    "  verify ARCHIVE [--content]            checks the archive (and content hashes)\n"
    "  diff OLD NEW                          added, removed and changed files\n"
    "  --version                             the version of tov\n"
    "\n"
    "Exit status: 0 ok, 1 a fault (missing archive or file, failed check, differences\n"
    "for diff), 2 wrong usage.\n";

int usage(const char* problem) {
  fprintf(stderr, "tov-archive: %s\n\n%s", problem, kHelp);
  return 2;
}

std::string json_text(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') out += '\\', out += (char)c;
    else if (c < 0x20) {
      char escape[8];
      snprintf(escape, sizeof(escape), "\\u%04x", c);
      out += escape;
    } else out += (char)c;
  }
  return out + "\"";
}

struct Archive {
  TovArchiveSet* set = nullptr;
  explicit Archive(const char* path) {
    const char* paths[] = {path};
    TovArchiveSetDesc desc = {paths, 1};
    set = tov_archive_create(&desc);
  }
  ~Archive() { tov_archive_destroy(set); }
  std::vector<TovFileInfo> files(const char* directory, u64 type) const {
    u64 count = tov_archive_index_directory(set, directory, type, nullptr, 0);
    std::vector<TovFileInfo> files(count);
    count = tov_archive_index_directory(set, directory, type, files.data(), count);
    files.resize(count);
    std::sort(files.begin(), files.end(),
              [](const TovFileInfo& a, const TovFileInfo& b) { return strcmp(a.name, b.name) < 0; });
    return files;
  }
};

bool open_archive(const char* path, Archive** out) {
  Archive* archive = new Archive(path);
  if (!archive->set) {
    fprintf(stderr, "tov-archive: cannot open '%s'\n", path);
    delete archive;
    return false;
  }
  *out = archive;
  return true;
}

bool verify_file(const char* path, u32 flags, std::string* message) {
  FILE* file = fopen(path, "rb");
  if (!file) {
    *message = "cannot open the file";
    return false;
  }
  std::string bytes;
  char buffer[1 << 16];
  for (size_t got; (got = fread(buffer, 1, sizeof(buffer), file)) > 0;) bytes.append(buffer, got);
  fclose(file);
  char text[512];
  bool ok = tov_archive_verify(bytes.data(), bytes.size(), flags, text, sizeof(text));
  *message = ok ? "ok" : text;
  return ok;
}

int command_list(Archive* archive, const char* directory, u64 type, bool json) {
  std::vector<TovFileInfo> files = archive->files(directory, type);
  if (json) printf("[");
  for (size_t i = 0; i < files.size(); ++i) {
    const TovFileInfo& f = files[i];
    if (json)
      printf("%s{\"name\":%s,\"type\":%u,\"size\":%llu,\"checksum\":\"%016llx\"}",
             i ? "," : "", json_text(f.name).c_str(), (unsigned)f.type,
             (unsigned long long)f.size, (unsigned long long)f.checksum);
    else
      printf("%-56s %5u %12llu %016llx\n", f.name, (unsigned)f.type, (unsigned long long)f.size,
             (unsigned long long)f.checksum);
  }
  if (json) printf("]\n");
  return 0;
}

int command_info(Archive* archive, bool json) {
  // A development archive comes after its overlay: the archive asked for is
  // the last one described.
  TovArchiveInfo info, overlay = {};
  u64 count = 0;
  while (tov_archive_describe(archive->set, count, &info)) ++count;
  tov_archive_describe(archive->set, count - 1, &info);
  if (count > 1) tov_archive_describe(archive->set, 0, &overlay);
  std::map<u16, u64> per_type;
  std::set<std::string> directories = {""};
  for (const TovFileInfo& f : archive->files("", 0)) {
    ++per_type[f.type];
    std::string name = f.name;
    for (size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
      directories.insert(name.substr(0, slash + 1));
  }
  if (json) {
    printf("{\"path\":%s,\"size\":%llu,\"files\":%llu,\"type_count\":%llu,\"types\":{",
           json_text(info.path).c_str(), (unsigned long long)info.total_size,
           (unsigned long long)info.file_count, (unsigned long long)info.type_count);
    bool first = true;
    for (auto& [type, count] : per_type) {
      printf("%s\"%u\":%llu", first ? "" : ",", (unsigned)type, (unsigned long long)count);
      first = false;
    }
    printf("}");
    if (overlay.path)
      printf(",\"overlay\":{\"path\":%s,\"size\":%llu,\"files\":%llu}",
             json_text(overlay.path).c_str(), (unsigned long long)overlay.total_size,
             (unsigned long long)overlay.file_count);
    printf(",\"directories\":[");
    first = true;
    for (const std::string& d : directories) {
      printf("%s%s", first ? "" : ",", json_text(d).c_str());
      first = false;
    }
    printf("]}\n");
    return 0;
  }
  printf("archive      %s\nsize         %llu bytes\nfiles        %llu\ntype count   %llu\n",
         info.path, (unsigned long long)info.total_size, (unsigned long long)info.file_count,
         (unsigned long long)info.type_count);
  printf("directories  %llu\n", (unsigned long long)info.directory_count);
  if (overlay.path)
    printf("overlay      %s (%llu bytes, %llu files: the files changed and deleted since)\n",
           overlay.path, (unsigned long long)overlay.total_size,
           (unsigned long long)overlay.file_count);
  for (auto& [type, count] : per_type)
    printf("  type %-5u %llu files\n", (unsigned)type, (unsigned long long)count);
  for (const std::string& d : directories) printf("  %s\n", d.empty() ? "(root)" : d.c_str());
  return 0;
}

int command_cat(Archive* archive, const char* name) {
  TovFileInfo info;
  if (!tov_archive_access_file(archive->set, name, &info)) {
    fprintf(stderr, "tov-archive: no file '%s' in the archive\n", name);
    return 1;
  }
  fwrite(info.data, 1, info.size, stdout);
  return 0;
}

// Files go only inside destination: a name that would leave it (a ".."
// part, an empty one) is refused, no symbolic link found inside it is
// followed, and an existing file is left alone unless force is given.
int command_extract(Archive* archive, const std::string& destination,
                    const std::vector<std::string>& names, bool force) {
  std::vector<TovFileInfo> files;
  if (names.empty()) {
    files = archive->files("", 0);
  } else {
    for (const std::string& name : names) {
      TovFileInfo info;
      if (!tov_archive_access_file(archive->set, name.c_str(), &info)) {
        fprintf(stderr, "tov-archive: no file '%s' in the archive\n", name.c_str());
        return 1;
      }
      files.push_back(info);
    }
  }
  for (const TovFileInfo& f : files) {
    const char* error;
    ZuFile* out = filesystem_file_create_beneath(destination.c_str(), f.name, force, &error);
    if (!out) {
      fprintf(stderr, "tov-archive: cannot extract '%s' into '%s': %s%s\n", f.name,
              destination.c_str(), error,
              strcmp(error, "the file exists") == 0 ? " (--force overwrites it)" : "");
      return 1;
    }
    bool written = filesystem_file_write(out, f.data, f.size) == f.size;
    if (!filesystem_file_destroy(out)) written = false;
    if (!written) {
      fprintf(stderr, "tov-archive: cannot write '%s' into '%s'\n", f.name, destination.c_str());
      return 1;
    }
  }
  return 0;
}

int command_diff(Archive* old_archive, Archive* new_archive, bool json) {
  std::map<std::string, u64> before, after;
  for (const TovFileInfo& f : old_archive->files("", 0)) before[f.name] = f.checksum;
  for (const TovFileInfo& f : new_archive->files("", 0)) after[f.name] = f.checksum;
  std::vector<std::string> added, removed, changed;
  for (auto& [name, sum] : after) {
    auto found = before.find(name);
    if (found == before.end()) added.push_back(name);
    else if (found->second != sum && name != "all.fileinfo") changed.push_back(name);
  }
  for (auto& [name, sum] : before)
    if (!after.count(name)) removed.push_back(name);
  if (json) {
    auto list = [](const std::vector<std::string>& names) {
      std::string out = "[";
      for (size_t i = 0; i < names.size(); ++i) out += (i ? "," : "") + json_text(names[i]);
      return out + "]";
    };
    printf("{\"added\":%s,\"removed\":%s,\"changed\":%s}\n", list(added).c_str(),
           list(removed).c_str(), list(changed).c_str());
  } else {
    for (const std::string& n : added) printf("added    %s\n", n.c_str());
    for (const std::string& n : removed) printf("removed  %s\n", n.c_str());
    for (const std::string& n : changed) printf("changed  %s\n", n.c_str());
  }
  return added.empty() && removed.empty() && changed.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  bool json = false, content = false, force = false;
  long long type = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      fputs(kHelp, stdout);
      return 0;
    }
    if (arg == "--version") {
      printf("tov-archive %s\n", TOV_VERSION);
      return 0;
    }
    if (arg == "--json") json = true;
    else if (arg == "--content") content = true;
    else if (arg == "--force") force = true;
    else if (arg == "--type") {
      if (i + 1 >= argc) return usage("--type needs a number");
      char* end;
      type = strtoll(argv[++i], &end, 10);
      if (*end || type < 0 || type > 65535) return usage("--type needs a number from 0 to 65535");
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usage(("unknown option " + arg).c_str());
    } else {
      args.push_back(arg);
    }
  }
  if (args.size() < 2) return usage("a command and an archive are needed");
  const std::string& command = args[0];
  if (command == "verify") {
    if (args.size() != 2) return usage("verify takes one archive");
    std::string message;
    bool ok = verify_file(args[1].c_str(), content ? TOV_VERIFY_CONTENT : 0, &message);
    if (json) printf("{\"ok\":%s,\"message\":%s}\n", ok ? "true" : "false", json_text(message).c_str());
    else printf("%s: %s\n", args[1].c_str(), message.c_str());
    return ok ? 0 : 1;
  }
  const char* known[] = {"list", "info", "cat", "extract", "diff"};
  if (std::find(std::begin(known), std::end(known), command) == std::end(known))
    return usage(("unknown command " + command).c_str());
  // Every other command reads the archive, with the overlay of a
  // development archive: they are checked first.
  for (size_t i = 1; i < args.size() && i <= (command == "diff" ? 2u : 1u); ++i) {
    std::string overlay = args[i] + ".overlay";
    for (const std::string& path : {args[i], overlay}) {
      std::string message;
      if (path == overlay && !(filesystem_get_attr(path.c_str()) & ZU_ATTR_EXISTS)) continue;
      if (!verify_file(path.c_str(), 0, &message)) {
        fprintf(stderr, "tov-archive: '%s' is damaged: %s\n", path.c_str(), message.c_str());
        return 1;
      }
    }
  }
  Archive* archive = nullptr;
  if (!open_archive(args[1].c_str(), &archive)) return 1;
  int status;
  if (command == "list") {
    if (args.size() > 3) return usage("list takes one directory");
    status = command_list(archive, args.size() == 3 ? args[2].c_str() : "", (u64)type, json);
  } else if (command == "info") {
    status = command_info(archive, json);
  } else if (command == "cat") {
    if (args.size() != 3) return usage("cat takes one name");
    status = command_cat(archive, args[2].c_str());
  } else if (command == "extract") {
    if (args.size() < 3) return usage("extract needs a destination");
    status = command_extract(archive, args[2], std::vector<std::string>(args.begin() + 3, args.end()),
                             force);
  } else {
    if (args.size() != 3) return usage("diff takes two archives");
    Archive* newer = nullptr;
    if (!open_archive(args[2].c_str(), &newer)) return 1;
    status = command_diff(archive, newer, json);
    delete newer;
  }
  delete archive;
  return status;
}
