// SPDX-License-Identifier: Zlib
// The pack's file members, opened ahead of the copy on a thread of their
// own: opening is a walk through each path's folders, and it overlaps the
// copy of the members before it, which stays in order on the caller's
// thread (copies into one file from several threads only contend for it).
#pragma once

#include "zu_sys.h"

struct PackOpener;

// Starts opening paths[0..count) in order; a null path is skipped (a member
// whose bytes the pack writes itself). At most a window of members is open
// at once, well under the usual limit of 1024 open files.
PackOpener* pack_opener_create(const char* const* paths, u64 count);
// Waits for member index (taken in order) and gives its file, or null when
// it could not be opened; size receives its size. The file stays the
// opener's: release it when its bytes are copied.
ZuFile* pack_opener_take(PackOpener* opener, u64 index, u64* size);
// Done with member index; the opener's thread closes it, off the copy's path.
void pack_opener_release(PackOpener* opener, u64 index);
// Stops opening and closes every member still open.
void pack_opener_destroy(PackOpener* opener);
