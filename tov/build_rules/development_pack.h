// SPDX-License-Identifier: Zlib
// Development archives (--tov-overlay): a pack whose cost follows the
// change. The archive is packed whole once; later packs write only an
// overlay beside it ("<archive>.overlay") holding the files that differ
// from it and hiding the ones gone since, until the overlay grows past a
// share of the archive and is folded into a new whole one.
#pragma once

#include "pack_writer.h"

// Whether steps pack development archives (the option is set).
bool development_pack_requested(void);

// The pack step of a development build: inputs are every member, the
// catalogue (all.fileinfo, last) included, with catalogue's records.
u32 development_pack(CommandContext* context, const PackInput* inputs, u64 count,
                     const ZuArray<FileInfoRecord>* catalogue);

// The "overlay" command: puts its inputs (members just built, with
// --tov-types) into the overlay of the development archive it names as its
// output, as they are now, without the rest of the build: what a watcher
// runs after a save.
u32 command_overlay(CommandContext* context);

// The "fold" command: writes the development archive it names as its
// output whole again, with its overlay folded in (from the two mappings,
// without the tree), and removes the overlay: "ninja fold" asks for it.
u32 command_fold(CommandContext* context);
