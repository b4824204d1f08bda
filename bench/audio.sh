#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# The sound step (tool start, loading the codec library, decoding, soxr
# resampling from 44.1 kHz, Opus encoding) against opusenc, the Opus
# command-line encoder, on the same 30 s stereo WAV at the same bitrate.
# Installs opus-tools when opusenc is missing.
# Usage: bench/audio.sh [build]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
sdk=$(cd "$(dirname "$0")/../sdk" && pwd)
"$(dirname "$0")/need.sh" opusenc:opus-tools
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Chords over noise, so the encoder has something to spend its bits on.
python3 - "$work/music.wav" <<'PY'
import math, random, struct, sys, wave
rate, seconds = 44100, 30
random.seed(1)
out = wave.open(sys.argv[1], "wb")
out.setnchannels(2); out.setsampwidth(2); out.setframerate(rate)
chords = [(220, 277, 330), (196, 247, 294), (175, 220, 262), (165, 208, 247)]
frames = bytearray()
for i in range(rate * seconds):
    t = i / rate
    chord = chords[int(t / 2) % 4]
    tone = sum(math.sin(2 * math.pi * f * t) for f in chord) / 3
    left = 0.5 * tone + 0.05 * (random.random() - 0.5)
    right = 0.5 * math.sin(2 * math.pi * chord[0] * 2 * t) * math.exp(-(t % 0.5) * 6) + 0.3 * tone
    frames += struct.pack("<hh", int(left * 32767), int(right * 32767))
out.writeframes(bytes(frames))
PY
printf 'bitrate = 96\n' > "$work/music.wav.toml"
step="$build/bin/tov --tov-working-dir $work/ --tov-sdk-dir $sdk/ --tov-intermediate-dir i \
--tov-command cook_audio --tov-command-in-file $work/music.wav $work/music.wav.toml \
--tov-command-out-file $work/step.opus"
opusenc="opusenc --quiet --bitrate 96 $work/music.wav $work/opusenc.opus"
python3 "$(dirname "$0")/alternate.py" "${ROUNDS:-10}" "sound step" "$step" "opusenc" "$opusenc"
echo "bytes: step $(stat -c %s "$work/step.opus"), opusenc $(stat -c %s "$work/opusenc.opus")"
