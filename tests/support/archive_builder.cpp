// SPDX-License-Identifier: Zlib
#include "archive_builder.h"

#include "build_rules/invocations.h"

void build_archive(const std::string& folder, const std::vector<PackedFile>& files,
                   const std::string& archive, const std::vector<std::string>& pack_options) {
  std::string working_dir = folder + "/";
  std::vector<std::string> args = {"--tov-command-in-file"};
  for (const PackedFile& file : files) {
    write_file(working_dir + "i/" + file.name, file.contents);
    args.push_back(working_dir + "i/" + file.name);
  }
  std::string catalogue = working_dir + "i/all.fileinfo";
  std::vector<std::string> fileinfo_args = args;
  if (files.empty()) fileinfo_args.clear();
  fileinfo_args.push_back("--tov-command-out-file");
  fileinfo_args.push_back(catalogue);
  parse_arguments(fileinfo_args);
  run_command("fileinfo", working_dir.c_str(), "/", "i/");
  args.push_back(catalogue);
  args.push_back("--tov-command-out-file");
  args.push_back(archive);
  args.push_back("--tov-types");
  for (const PackedFile& file : files) args.push_back(std::to_string(file.type));
  args.push_back("2");
  args.insert(args.end(), pack_options.begin(), pack_options.end());
  parse_arguments(args);
  run_command("tov", working_dir.c_str(), "/", "i/");
}
