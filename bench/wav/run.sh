#!/usr/bin/env bash
# WAV cut benchmark: a ~600 MB 16-bit 44.1 kHz stereo WAV (made with sox) cut into 12
# tracks, against cp of the same file. Prints the median of several runs, the ratio to cp,
# the cut's peak memory and the machine's load. Target: cut <= 1.2 x cp.
#
#   bench/wav/run.sh [BUILD_DIR] [RUNS]
#
# zembrio-cli of BUILD_DIR (or ZEMBRIO_CLI) cuts with a CUE sheet, as a user runs it. Work
# files go to bench/work/wav/ and are kept for the next run.
set -euo pipefail
source "$(dirname "$0")/../common.sh"
BUILD=${1:-$BENCH_ROOT/build}
RUNS=${2:-5}
WORK=$BENCH_ROOT/bench/work/wav
mkdir -p "$WORK"
bench_need sox python3 bc time

SOURCE=$WORK/source.wav
if [[ ! -f $SOURCE ]]; then
  echo "Making the source file..."
  sox -q -n -r 44100 -c 2 -b 16 "$SOURCE" synth 3600 sine 440 sine 660 gain -6
fi
echo "Source: $(($(stat -c %s "$SOURCE") / 1048576)) MB, 12 tracks, median of $RUNS runs"

CUE=$WORK/source.cue
{
  echo "FILE \"source.wav\" WAVE"
  for i in $(seq 1 12); do
    printf '  TRACK %02d AUDIO\n    TITLE "track%d"\n    INDEX 01 %02d:00:00\n' "$i" "$i" \
      "$(((i - 1) * 5))"
  done
} >"$CUE"
CLI=${ZEMBRIO_CLI:-$BUILD/cli/zembrio-cli}
[[ -x $CLI ]] || { echo "build zembrio-cli first"; exit 1; }
CUT=("$CLI" --ini "$WORK/none.ini" cut "$SOURCE" --cue "$CUE" --dest "$WORK/out" --overwrite all
     --quiet)

cat "$SOURCE" >/dev/null  # warm the page cache
for _ in $(seq 1 "$RUNS"); do
  rm -rf "$WORK/out" "$WORK/copy.wav"
  mkdir -p "$WORK/out"
  sync
  bench_run cp cp "$SOURCE" "$WORK/copy.wav"
  rm -f "$WORK/copy.wav"
  sync
  bench_run cut "${CUT[@]}"
done

bench_report cp cp "cp" cut "WAV cut (12 tracks)"
PEAK_KB=$(/usr/bin/time -f %M "${CUT[@]}" 2>&1 >/dev/null | tail -1)
echo "WAV cut peak memory: $((PEAK_KB / 1024)) MiB;" \
  "tracks written: $(find "$WORK/out" -name '*.wav' | wc -l)"
echo "load average: $(cut -d ' ' -f 1-3 /proc/loadavg) on $(nproc) processors"
