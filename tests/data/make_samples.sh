#!/bin/sh
# Makes the short sample files the MPEG walk is tested on, with real encoders:
# lame, twolame, ImageMagick's convert and python3 (for the tone). Run it from anywhere;
# the files land beside this script. The expected figures are in README.md here.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Two seconds of a stereo tone that glides upwards, 44100 Hz, 16 bits.
python3 - "$work/tone.wav" <<'PY'
import math, struct, sys, wave
rate, seconds = 44100, 2.0
with wave.open(sys.argv[1], "wb") as out:
    out.setnchannels(2)
    out.setsampwidth(2)
    out.setframerate(rate)
    frames = bytearray()
    for i in range(int(rate * seconds)):
        t = i / rate
        left = math.sin(2 * math.pi * (330 + 110 * t) * t)
        right = math.sin(2 * math.pi * (440 + 55 * t) * t)
        frames += struct.pack("<hh", int(left * 12000), int(right * 12000))
    out.writeframes(bytes(frames))
PY

lame --quiet --noreplaygain -b 128 "$work/tone.wav" "$here/cbr128_44k.mp3"
lame --quiet --noreplaygain -V 4 "$work/tone.wav" "$here/vbr_44k.mp3"
lame --quiet --noreplaygain --resample 22.05 -b 64 "$work/tone.wav" "$here/mpeg2_22k.mp3"
lame --quiet --noreplaygain --resample 8 -b 16 "$work/tone.wav" "$here/mpeg25_8k.mp3"
twolame --quiet -b 128 "$work/tone.wav" "$here/layer2_44k.mp2"

# A cover picture: a JPEG is full of byte pairs that look like frame sync.
convert -seed 7 -size 256x256 plasma:fuchsia-blue -attenuate 0.6 +noise Gaussian -quality 80 "$work/cover.jpg"
lame --quiet --noreplaygain -b 128 --tt "Zembrio" --ta "Test" --ti "$work/cover.jpg" \
  "$work/tone.wav" "$here/cover_id3v2.mp3"
