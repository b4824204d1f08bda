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

// Whether --tov-normalize-names is given.
bool queued_names_normalized(void);

// With --tov-normalize-names, turns every archive name into its normalized
// form; two sources that come to one name end the process naming both.
void queued_sources_normalize_names(const ZuArray<PathSlot>* sources, ZuArray<PathSlot>* names);

// The first pair of equal texts among count (by hash, then bytes), lower
// index first; false when all differ. With owners, a pair counts only when
// their owners differ too.
bool find_equal_texts(const char* const* texts, u32 count, u32* first, u32* second,
                      const char* const* owners = nullptr);
