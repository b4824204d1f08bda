// SPDX-License-Identifier: Zlib
// The source files generation queued, and what the options do to the list
// before any rule sees it: patterns that leave files out, and archive names
// made from source names.
#pragma once

#include "zu_array.h"

struct PathSlot {
  char text[ZU_PATH_SLOT];
};

// Leaves out every source whose path or file name matches a --tov-ignore
// pattern, keeping the order; listed_count (the sources found by scanning,
// which come first) shrinks by those of them left out.
void queued_sources_drop_ignored(ZuArray<PathSlot>* sources, ZuArray<PathSlot>* names,
                                 u32* listed_count);

// Whether a --tov-ignore pattern matches path (from the working folder, as
// scanned) or its file name.
bool queued_sources_ignored(const char* path);

// Whether --tov-normalize-names is given.
bool queued_names_normalized(void);

// With --tov-normalize-names, turns every archive name into its normalized
// form; two sources that come to one name end the process naming both.
void queued_sources_normalize_names(const ZuArray<PathSlot>* sources, ZuArray<PathSlot>* names);

// Ends the process when two of count texts are equal (by hash, then bytes),
// naming every such pair: the sources of both (sources[i] for texts[i]) and
// the text they come to, so a tree with several is mended in one go. With
// owners, a pair counts only when their owners differ too.
void refuse_equal_names(const char* const* texts, const char* const* sources, u32 count,
                        const char* const* owners = nullptr);
