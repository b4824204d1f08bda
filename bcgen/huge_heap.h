// Backs the heap of the calling thread's process with 2 MiB pages where the
// system allows it, for the compiles that follow.
#pragma once

void prefer_huge_heap();
