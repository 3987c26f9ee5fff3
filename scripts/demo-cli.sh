#!/usr/bin/env bash
# Sets up what is missing, builds, makes a short MP3 with lame (a 20-second tone with a
# CUE sheet beside it) and cuts it with zembrio-cli: the cut list, the fragments and the
# report of the cut, then the statistics report of the source.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
CLI=build/cli/zembrio-cli
DEMO=$(mktemp -d /tmp/zembrio-demo-XXXXXX)
python3 - "$DEMO/demo.wav" <<'PY'
import math, struct, sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
    w.writeframes(b"".join(struct.pack("<hh", int(7000 * math.sin(i * 0.03 * (1 + i // 220500))),
                                       int(7000 * math.sin(i * 0.02))) for i in range(44100 * 20)))
PY
lame --quiet -b 128 "$DEMO/demo.wav" "$DEMO/demo.mp3"
rm "$DEMO/demo.wav"
cat >"$DEMO/demo.cue" <<'CUE'
PERFORMER "Zembrio"
TITLE "Démo"
FILE "demo.wav" WAVE
  TRACK 01 AUDIO
    TITLE "Ouverture"
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    TITLE "Thème: variation?"
    INDEX 01 00:05:00
  TRACK 03 AUDIO
    TITLE "Final"
    INDEX 01 00:12:37
CUE
echo "== Cut list read from $DEMO/demo.cue"
"$CLI" --ini "$DEMO/zembrio.ini" cut "$DEMO/demo.mp3" --beside --dry-run
echo "== Cutting into $DEMO/fragments/"
"$CLI" --ini "$DEMO/zembrio.ini" cut "$DEMO/demo.mp3" --beside --dest "$DEMO/fragments"
ls -l "$DEMO/fragments"
echo "== Statistics"
"$CLI" --ini "$DEMO/zembrio.ini" stats "$DEMO/demo.mp3"
