// Backs the process's main heap (the one the program break grows, which the
// main thread allocates from) with 2 MiB pages where the system allows it,
// for the compiles that follow. Done once per process.
#pragma once

void prefer_huge_heap();
