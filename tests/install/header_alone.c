/* SPDX-License-Identifier: Zlib
 * The public header among an engine's own names: it must define none of
 * them and need nothing but the C library's fixed-width headers. */
typedef unsigned long long u64;
typedef unsigned int u32;
typedef unsigned char u8;
typedef struct ZuString ZuString;
static int sys_malloc;
#define ZU_EXPORT broken

#include <tov/tov_archive.h>

int tov_header_alone(void);
int tov_header_alone(void) {
  TovFileInfo info;
  info.size = (u64)TOV_TYPE_IMAGE + (u64)sys_malloc;
  u64 size = (u64)sizeof info + info.size;
  return (int)size;
}
