// SPDX-License-Identifier: Zlib
// The pack's file members, opened (and the small ones read) ahead of the
// copy on a thread of their own: opening is a walk through each path's
// folders, and it overlaps the writing of the members before it, which
// stays in order on the caller's thread (writes into one file from several
// threads only contend for it).
#pragma once

#include "zu_array.h"
#include "zu_sys.h"

struct PackOpener;

// A member as taken: a small one's bytes, read ahead by the opener, or
// the open file of a large one, to copy in the kernel.
struct PackMember {
  ZuFile* file;
  u64 size;
  const u8* bytes;  // size bytes when file is null
};

// Starts opening paths[0..count) in order; a null path is skipped (a member
// whose bytes the pack writes itself). At most a window of members is open
// at once, well under the usual limit of 1024 open files, and the small
// ones held in memory take at most 16 MiB.
PackOpener* pack_opener_create(const char* const* paths, u64 count);
// Waits for member index (taken in order) and gives it; false when it could
// not be opened. The member stays the opener's: release it when its bytes
// are copied.
bool pack_opener_take(PackOpener* opener, u64 index, PackMember* member);
// Done with member index; the opener's thread closes it, off the copy's path.
void pack_opener_release(PackOpener* opener, u64 index);
// Stops opening and closes every member still open.
void pack_opener_destroy(PackOpener* opener);
