// SPDX-License-Identifier: Zlib
// What the watcher knows of a build.ninja the tool wrote: its statements,
// which file each reads and writes, and where each lies in the text, so
// that a change can be built through a manifest of the statements it
// concerns.
#pragma once

#include "zu_array.h"
#include "zu_string.h"

// A path as build.ninja writes it: escaped, with ${wd} and the like.
struct NinjaToken {
  u64 begin, end;
};

struct NinjaVariable {
  ZuString name;
  ZuString value;  // expanded
};

struct NinjaStatement {
  u64 begin, end;  // its text: the build line and its bindings
  NinjaToken rule;
  u32 outputs, output_count;  // in NinjaIndex::tokens
  u32 inputs, input_count;    // explicit and implicit inputs; order-only ones left out
  bool has_depfile;           // finds more inputs as it runs (a depfile)
};

// A path's hash and a statement that reads or writes it.
struct NinjaPathKey {
  u64 hash;
  u32 statement;
};

constexpr u32 kNoStatement = ~0u;

struct NinjaIndex {
  ZuArray<char> text;  // the file, NUL-ended
  u64 header_end;      // variables and includes end where the first statement begins
  ZuFileStamp stamp;   // of the file read: one written since is read again
  ZuArray<NinjaVariable> variables;
  ZuArray<NinjaToken> tokens;
  ZuArray<NinjaStatement> statements;
  ZuArray<NinjaPathKey> by_input;   // sorted by hash
  ZuArray<NinjaPathKey> by_output;  // sorted by hash
  u32 pack;                         // the archive's statement (rule tov), or kNoStatement
  u32 catalogue;                    // all.fileinfo's (rule fileinfo)
  u32 regenerate;                   // build.ninja's own (with --tov-regenerate)
  ZuString generation_folder;       // where generation ran, from the regenerate rule
  ZuArray<u16> pack_types;          // tov_types of the pack, one per input
  // The archive's members (the pack's inputs but the catalogue) by hash;
  // statement holds the member's place among the pack's inputs.
  ZuArray<NinjaPathKey> pack_members;
};

// Reads and indexes the file at path; false, with why in error, when it
// cannot be read or is not one the tool wrote.
bool ninja_index_load(NinjaIndex* index, const char* path, ZuString* error);
void ninja_index_destroy(NinjaIndex* index);

// A top-level variable's value ("" when it has none).
const char* ninja_index_variable(const NinjaIndex* index, const char* name);
// A path as Ninja names files: "." and empty components dropped, "x/.."
// taken out (Ninja reports outputs, and the watcher builds event paths, in
// this form). A final '/' stays.
void ninja_canonical(ZuString* path);
// The path a token names, its variables expanded, escapes undone, made
// canonical.
void ninja_index_path(const NinjaIndex* index, NinjaToken token, ZuString* out);
u64 ninja_index_path_hash(const NinjaIndex* index, NinjaToken token);
// The statements that read (or write) the path with hash, as [first, last).
const NinjaPathKey* ninja_index_readers(const NinjaIndex* index, u64 hash,
                                        const NinjaPathKey** end);
u32 ninja_index_writer(const NinjaIndex* index, u64 hash);
// The rule of a statement is name.
bool ninja_statement_rule_is(const NinjaIndex* index, const NinjaStatement* statement,
                             const char* name);
