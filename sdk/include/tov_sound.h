/* SPDX-License-Identifier: Zlib
 *
 * What a cooked sound holds. The audio module turns .wav, .flac, .ogg
 * (Vorbis), .aiff and .aif sources into "<stem>.opus", in one of two forms
 * that its first four bytes tell apart; the name does not change with the
 * form, so game code keeps working when a sound's settings move it from one
 * to the other. A game reads both with tov_sound_view (tov/tov_archive.h).
 *
 * - "OggS": an Ogg Opus stream (the usual case), 48 000 samples per second
 *   once decoded, for example with libopusfile's op_open_memory on the
 *   bytes in place.
 * - "TOVS": 16-bit PCM for short effects that must play at once, with no
 *   decoder: a TovSoundFileHeader, then frame_count frames of channels
 *   interleaved signed 16-bit samples, little-endian, from data_offset.
 */
#ifndef TOV_SOUND_H
#define TOV_SOUND_H

#include <stdint.h>

#define TOV_SOUND_MAGIC "TOVS"
#define TOV_SOUND_VERSION 1u

typedef struct TovSoundFileHeader {
  char magic[4];    /* "TOVS" */
  uint32_t version; /* 1 */
  uint32_t sample_rate;
  uint16_t channels;
  uint16_t bits; /* 16 */
  uint64_t frame_count;
  uint32_t data_offset; /* 32: the samples follow the header */
  uint32_t reserved;    /* 0 */
} TovSoundFileHeader;

#endif
