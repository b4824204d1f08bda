/* SPDX-License-Identifier: Zlib */
/* A game's loop with live reloading: opens an archive, reloads it every
 * frame (a tick of 16 ms here), prints the files that changed with their
 * new sizes, and releases what the frame before could still hold. Run it
 * beside `tov --tov-watch BUILD_DIR`: every save shows up here.
 *
 *     reload_archive game.tov [SECONDS]     (Ctrl-C ends it)
 */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "tov/tov_archive.h"

static void sleep_ms(long milliseconds) {
  struct timespec wait = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  nanosleep(&wait, NULL);
}

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: %s ARCHIVE.tov [SECONDS]\n", argv[0]);
    return 2;
  }
  TovArchiveSetDesc desc = {(const char* const*)(argv + 1), 1};
  TovArchiveSet* set = tov_archive_create(&desc);
  if (!set) {
    fprintf(stderr, "%s: cannot be opened\n", argv[1]);
    return 1;
  }
  long frames = argc == 3 ? atol(argv[2]) * 1000 / 16 : -1;
  printf("reloading %s every frame\n", argv[1]);
  fflush(stdout);
  uint64_t held = tov_archive_generation(set); /* what the last frame used */
  for (long frame = 0; frames < 0 || frame < frames; ++frame) {
    /* Looks at the disk at most every 10 ms: cheap enough for every frame. */
    uint64_t changed = tov_archive_reload(set, 10);
    if (changed) {
      TovArchiveChange changes[32];
      uint64_t shown = tov_archive_changes(set, changes, 32);
      static const char* const kinds[] = {"", "added", "changed", "removed"};
      printf("generation %llu: %llu files\n", (unsigned long long)tov_archive_generation(set),
             (unsigned long long)changed);
      for (uint64_t i = 0; i < shown && i < 32; ++i) {
        const TovArchiveChange* change = &changes[i];
        if (change->kind == TOV_CHANGE_REMOVED)
          printf("  removed %s\n", change->file.name);
        else
          printf("  %s %s, %llu bytes\n", kinds[change->kind], change->file.name,
                 (unsigned long long)change->file.size);
      }
      if (changed > 32) printf("  ...\n");
      fflush(stdout);
    }
    /* A game would upload the changed files here, then draw the frame. */
    sleep_ms(16);
    /* The frame is over: nothing of the generations before it is held. */
    tov_archive_release(set, held);
    held = tov_archive_generation(set);
  }
  tov_archive_destroy(set);
  return 0;
}
