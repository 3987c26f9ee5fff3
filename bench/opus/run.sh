#!/usr/bin/env bash
# Opus cut benchmark: a 60-minute stereo Opus file at 128 kbit/s (sox noise + opusenc, about
# 40 MB) cut into 20 fragments by a CUE sheet, points a little off the packet grid. Prints
# the medians of the cut against cp of the same file and the ratio; goal: cut <= 1.5 x cp.
# Two floors are printed beside them: dd (a copy through a program's buffer, as the cut must
# read and write; cp copies inside the kernel) and zembrio-cli --version (starting the
# program and loading its libraries, before any cut).
#
#   bench/opus/run.sh [BUILD_DIR] [RUNS]
#
# zembrio-cli of BUILD_DIR (or ZEMBRIO_CLI) cuts with a CUE sheet, as a user runs it. Work
# files go to bench/work/opus/ and are kept for the next run.
set -euo pipefail
source "$(dirname "$0")/../common.sh"
BUILD=${1:-$BENCH_ROOT/build}
RUNS=${2:-5}
WORK=$BENCH_ROOT/bench/work/opus
mkdir -p "$WORK"
for tool in sox opusenc python3 bc; do
  command -v "$tool" >/dev/null || { echo "missing: $tool"; exit 1; }
done

SOURCE=$WORK/hour.opus
CUE=$WORK/hour.cue
if [[ ! -f $SOURCE ]]; then
  echo "Making the source file..."
  sox -D -R -n -r 48000 -c 2 -b 16 "$WORK/hour.wav" synth 3600 pinknoise vol 0.5
  opusenc --quiet --bitrate 128 "$WORK/hour.wav" "$SOURCE"
  rm -f "$WORK/hour.wav"
fi
{
  echo 'FILE "hour.opus" WAVE'
  for i in $(seq 1 20); do
    # Three minutes apart, a few CD frames off every second's start.
    seconds=$(((i - 1) * 180 + (i > 1 ? 1 : 0)))
    printf '  TRACK %02d AUDIO\n    TITLE "Piste %d"\n    INDEX 01 %02d:%02d:%02d\n' \
      "$i" "$i" $((seconds / 60)) $((seconds % 60)) $(((i - 1) * 7 % 75))
  done
} >"$CUE"
echo "Source: $(($(stat -c %s "$SOURCE") / 1048576)) MB, 20 fragments, median of $RUNS runs"

CLI=${ZEMBRIO_CLI:-$BUILD/cli/zembrio-cli}
[[ -x $CLI ]] || { echo "build zembrio-cli first"; exit 1; }
CUT=("$CLI" --ini "$WORK/none.ini" cut "$SOURCE" --cue "$CUE" --dest "$WORK/out" --overwrite all
     --quiet)

cat "$SOURCE" >/dev/null  # warm the page cache
for _ in $(seq 1 "$RUNS"); do
  rm -rf "$WORK/out" "$WORK/copy.opus" "$WORK/dd.opus"
  mkdir -p "$WORK/out"
  sync
  bench_run cp cp "$SOURCE" "$WORK/copy.opus"
  bench_run dd dd if="$SOURCE" of="$WORK/dd.opus" bs=1M status=none
  bench_run start "$CLI" --version
  sync
  bench_run cut "${CUT[@]}"
  sync
done
rm -f "$WORK/copy.opus" "$WORK/dd.opus"

bench_report cp cp "cp" dd "dd bs=1M" start "zembrio-cli --version" cut "cut (20 fragments)"
PEAK_KB=$(/usr/bin/time -f %M "${CUT[@]}" 2>&1 >/dev/null | tail -1)
echo "cut peak memory: $((PEAK_KB / 1024)) MiB; fragments: $(find "$WORK/out" -name '*.opus' | wc -l)"
