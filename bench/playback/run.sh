#!/usr/bin/env bash
# How long playback takes to start: a private PulseAudio server with a null sink (the
# machine's own sound is neither needed nor disturbed), a 10-second and a 10-minute MP3,
# each played from its start and its middle by the player alone, then through the window
# (while the waveform loads and after); prints the player's timings per step.
#
#   bench/playback/run.sh [BUILD_DIR] [RUNS]
#
# The sources are made once in bench/work/playback/ (ignored by git, kept for the next run).
set -euo pipefail
source "$(dirname "$0")/../common.sh"
BUILD=${1:-$BENCH_ROOT/build}
RUNS=${2:-3}
WORK=$BENCH_ROOT/bench/work/playback
PROGRAM=$BUILD/bench/playback/zembrio_bench_playback
mkdir -p "$WORK"
bench_need lame sox pulseaudio pulseaudio-utils
[[ -x $PROGRAM ]] || { echo "build zembrio_bench_playback first"; exit 1; }

[[ -f $WORK/short.mp3 ]] || {
  sox -q -n -r 44100 -c 2 -b 16 "$WORK/short.wav" synth 10 sine 440 gain -6
  lame --quiet -b 128 "$WORK/short.wav" "$WORK/short.mp3"
}
[[ -f $WORK/long.mp3 ]] || bench_ten_minute_mp3 "$WORK/long.mp3"

RUNTIME=$(mktemp -d)
pulseaudio -n --exit-idle-time=-1 --use-pid-file=no --disallow-exit --daemonize=no \
  --load="module-null-sink sink_name=null" \
  --load="module-native-protocol-unix auth-anonymous=1 socket=$RUNTIME/native" \
  >/dev/null 2>&1 &
SERVER=$!
trap 'kill $SERVER 2>/dev/null; wait $SERVER 2>/dev/null; rm -rf "$RUNTIME"' EXIT
export XDG_RUNTIME_DIR=$RUNTIME PULSE_SERVER=unix:$RUNTIME/native
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done

for window in ${WINDOWS:-0 1}; do
  WINDOW=$window RECORD_DEVICE=null.monitor QT_QPA_PLATFORM=offscreen \
    "$PROGRAM" "$RUNS" "$WORK/short.mp3" "$WORK/long.mp3" ${EXTRA_SOURCES:-} 2>&1 | sed -e 's/^zembrio.playback: //'
done
