// SPDX-License-Identifier: Zlib
// Viewing a cooked sound in place: the PCM header, or the two Ogg pages
// that describe an Opus stream (the first, with the OpusHead packet, and
// the last, whose granule position ends the stream). Nothing is decoded.
#include <string.h>

#include "format.h"
#include "tov/tov_archive.h"
#include "tov_sound.h"

namespace {

constexpr u64 kPageHeader = 27;  // "OggS" up to the segment count
constexpr u64 kLargestPage = kPageHeader + 255 + 255 * 255;

// The length of the Ogg page at offset, header and body; 0 when it is not
// a whole page inside size.
u64 ogg_page(const u8* file, u64 size, u64 offset) {
  if (!archive_range_ok(size, offset, kPageHeader) || memcmp(file + offset, "OggS", 4) != 0 ||
      file[offset + 4] != 0)
    return 0;
  u64 segments = file[offset + 26];
  if (!archive_range_ok(size, offset + kPageHeader, segments)) return 0;
  u64 length = kPageHeader + segments;
  for (u64 i = 0; i < segments; ++i) length += file[offset + kPageHeader + i];
  return archive_range_ok(size, offset, length) ? length : 0;
}

bool view_opus(const u8* file, u64 size, TovSound* out) {
  u64 first = ogg_page(file, size, 0);
  u64 head = kPageHeader + file[26];
  if (!first || first - head < 19 || memcmp(file + head, "OpusHead", 8) != 0) return false;
  u32 channels = file[head + 9];
  u16 pre_skip = archive_load<u16>(file, head + 10);
  u32 serial = archive_load<u32>(file, 14);
  // The last page ends the file: search back for it, no further than the
  // largest page can reach.
  u64 low = size > kLargestPage ? size - kLargestPage : 0;
  for (u64 at = size - kPageHeader + 1; at-- > low;) {
    if (file[at] != 'O' || ogg_page(file, size, at) != size - at) continue;
    i64 granule = archive_load<i64>(file, at + 6);
    if (archive_load<u32>(file, at + 14) != serial || granule < pre_skip) return false;
    *out = {TOV_SOUND_OPUS, channels, 48000, (u64)(granule - pre_skip), pre_skip, file, size};
    return channels > 0;
  }
  return false;
}

}  // namespace

bool tov_sound_view(const void* bytes, u64 size, TovSound* out) {
  if (!bytes || size < sizeof(TovSoundFileHeader)) return false;
  const u8* file = (const u8*)bytes;
  if (memcmp(file, "OggS", 4) == 0) return view_opus(file, size, out);
  TovSoundFileHeader header = archive_load<TovSoundFileHeader>(file, 0);
  if (memcmp(header.magic, TOV_SOUND_MAGIC, 4) != 0 || header.version != TOV_SOUND_VERSION ||
      header.bits != 16 || header.channels == 0 || header.sample_rate == 0 ||
      header.frame_count > UINT64_MAX / 2 / header.channels ||
      !archive_range_ok(size, header.data_offset, header.frame_count * header.channels * 2))
    return false;
  *out = {TOV_SOUND_PCM16,
          header.channels,
          header.sample_rate,
          header.frame_count,
          0,
          file + header.data_offset,
          header.frame_count * header.channels * 2};
  return true;
}
