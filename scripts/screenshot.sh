#!/usr/bin/env bash
# Starts the desktop window under a virtual X server with a window manager, on a folder of
# sample files, and saves a picture of it (docs/screenshot-main.png by default).
#   scripts/screenshot.sh [output.png]
# Needs xvfb, openbox and imagemagick (scripts/deps.sh installs them) and a built
# build/ui/zembrio (or ZEMBRIO_BIN pointing at one).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
OUT=$(realpath -m "${1:-docs/screenshot-main.png}")
BIN=${ZEMBRIO_BIN:-$ROOT/build/ui/zembrio}
[[ -x $BIN ]] || { echo "no executable at $BIN: build first (cmake --build build)" >&2; exit 1; }

WORK=$(mktemp -d)
XVFB_PID=""
WM_PID=""
APP_PID=""
cleanup() {
  for pid in $APP_PID $WM_PID $XVFB_PID; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT

# A sample folder: the committed encoder samples under music-like names, a CUE sheet and
# a file the list must not show.
MUSIC="$WORK/Musique/Concert 2019"
mkdir -p "$MUSIC/cut"
cp tests/data/cbr128_44k.mp3 "$MUSIC/01 Ouverture.mp3"
cp tests/data/vbr_44k.mp3 "$MUSIC/02 Allegro.mp3"
cp tests/data/layer2_44k.mp2 "$MUSIC/03 Adagio.mp2"
cp tests/data/mpeg2_22k.mp3 "$MUSIC/04 Finale.MP3"
cp tests/data/cbr128_44k.mp3 "$MUSIC/Concert complet.mp3"
echo "not audio" > "$MUSIC/notes.txt"

# The program keeps its settings beside its executable: run a copy with its own file.
cp "$BIN" "$WORK/zembrio"
cat > "$WORK/zembrio.ini" <<INI
[STATE]
LASTDIR=$MUSIC/
WNDLEFT=40
WNDTOP=30
WNDWIDTH=760
WNDHEIGTH=560
WNDSPLITTER=170
[SETTINGS]
CUTDIR=cut/
INI

DISPLAY_NUM=${ZEMBRIO_DISPLAY:-:97}
Xvfb "$DISPLAY_NUM" -screen 0 900x680x24 -nolisten tcp &
XVFB_PID=$!
export DISPLAY=$DISPLAY_NUM
for _ in $(seq 50); do [[ -S /tmp/.X11-unix/X${DISPLAY_NUM#:} ]] && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
WM_PID=$!
sleep 1
QT_QPA_PLATFORM=xcb "$WORK/zembrio" >/dev/null 2>&1 &
APP_PID=$!
sleep 3
mkdir -p "$(dirname "$OUT")"
import -window root "$OUT"
echo "saved $OUT"
