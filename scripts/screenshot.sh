#!/usr/bin/env bash
# Starts the desktop window under a virtual X server with a window manager, uses it on a
# folder of sample music as a user would, and saves pictures of it into docs/ (or the
# folder given): screenshot-main.png (four named cut points after a cut), screenshot-tags.png
# (the same with the tags panel open), screenshot-info.png
# (the cut's report in "Info...") and screenshot-join.png (the fragments on the join page).
#   scripts/screenshot.sh [output-folder]
# Needs xvfb, openbox, sox and lame (scripts/deps.sh installs them) and a build with the window
# and its tests (build/, or ZEMBRIO_BUILD pointing at another build folder). The sample
# folder is made under a short, tidy path (ZEMBRIO_SHOT_HOME, /tmp/Musique by default)
# that stands in for the user's home folder for the time of the shot.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
OUT=$(realpath -m "${1:-docs}")
BUILD=${ZEMBRIO_BUILD:-$ROOT/build}
DRIVER=$BUILD/tests/ui/zembrio_ui_screenshots
[[ -x $DRIVER ]] || {
  echo "no $DRIVER: build it first (cmake --build $BUILD --target zembrio_ui_screenshots)" >&2
  exit 1
}
SHOT_HOME=${ZEMBRIO_SHOT_HOME:-/tmp/Musique}
[[ ! -e $SHOT_HOME ]] || { echo "$SHOT_HOME exists: remove it or set ZEMBRIO_SHOT_HOME" >&2; exit 1; }

WORK=$(mktemp -d)
XVFB_PID=""
WM_PID=""
cleanup() {
  for pid in $WM_PID $XVFB_PID; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$WORK" "$SHOT_HOME"
}
trap cleanup EXIT

# The sample folder: a four-minute live recording (four movements with short pauses of
# room noise between them, made by sox and encoded by lame), a few single pieces beside
# it, a file the list must not show, and other concerts around it.
MUSIC="$SHOT_HOME/Concert 2019"
mkdir -p "$MUSIC" "$SHOT_HOME/Live Lyon" "$SHOT_HOME/Répétitions"
movement() { # length, tremolo speed, gain
  sox -q -n -r 44100 -c 2 -b 16 "$WORK/m$4.wav" synth "$1" pinknoise tremolo "$2" 70 gain "$3" \
    fade q 1.5 "$1" 2.5
}
pause() { sox -q -n -r 44100 -c 2 -b 16 "$WORK/p$1.wav" synth 3 brownnoise gain -62; }
movement 70.5 0.11 -7 1 && pause 1
movement 76.5 0.23 -10 2 && pause 2
movement 53.66 0.07 -13 3 && pause 3
movement 35.34 0.31 -6 4
sox -q "$WORK"/m1.wav "$WORK"/p1.wav "$WORK"/m2.wav "$WORK"/p2.wav "$WORK"/m3.wav \
  "$WORK"/p3.wav "$WORK"/m4.wav "$WORK/concert.wav"
lame --quiet -b 192 "$WORK/concert.wav" "$MUSIC/Concert complet.mp3"
rm -f "$WORK"/*.wav
cp tests/data/cbr128_44k.mp3 "$MUSIC/Bis.mp3"
cp tests/data/layer2_44k.mp2 "$MUSIC/Accord.mp2"
cp tests/data/vbr_44k.mp3 "$MUSIC/Applaudissements.MP3"
echo "Concert du 14 juin" >"$MUSIC/notes.txt"

cat >"$WORK/zembrio.ini" <<INI
[STATE]
LASTDIR=$MUSIC/
WNDLEFT=24
WNDTOP=24
WNDWIDTH=800
WNDHEIGTH=660
WNDSPLITTER=150
[SETTINGS]
CUTDIR=Fragments/
JOINNAME=../Concert recollé
INI

DISPLAY_NUM=${ZEMBRIO_DISPLAY:-:97}
Xvfb "$DISPLAY_NUM" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=$DISPLAY_NUM
for _ in $(seq 50); do [[ -S /tmp/.X11-unix/X${DISPLAY_NUM#:} ]] && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
WM_PID=$!
sleep 1
mkdir -p "$OUT"
HOME=$SHOT_HOME QT_QPA_PLATFORM=xcb "$DRIVER" "$WORK/zembrio.ini" "$MUSIC" "$OUT"
