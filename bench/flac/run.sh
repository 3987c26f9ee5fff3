#!/usr/bin/env bash
# FLAC cut benchmark: a 60-minute 16-bit 44.1 kHz FLAC (sox noise + flac -5, about 300 MB)
# cut into 12 tracks by a CUE sheet at CD-frame points. Prints the medians of the cut, MD5s
# included, against flac -t, cp, a decode and re-encode (flac -d | flac -5) and
# shnsplit -o flac, the ratios to flac -t, and the cut's peak memory.
# Targets: cut <= 1.2 x flac -t (goal 0.6 x).
#
#   bench/flac/run.sh [BUILD_DIR] [RUNS]
#
# The cut runs through zembrio-cli when ZEMBRIO_CLI names it, otherwise through the bench
# driver zembrio_flac_bench (build it with the bench folder). Work files go to
# bench/work/flac/ and are kept for the next run.
set -euo pipefail
source "$(dirname "$0")/../common.sh"
BUILD=${1:-$BENCH_ROOT/build}
RUNS=${2:-3}
WORK=$BENCH_ROOT/bench/work/flac
mkdir -p "$WORK"
for tool in sox flac shnsplit python3 bc; do
  command -v "$tool" >/dev/null || { echo "missing: $tool"; exit 1; }
done

SOURCE=$WORK/album.flac
CUE=$WORK/album.cue
if [[ ! -f $SOURCE ]]; then
  echo "Making the source file..."
  sox -D -R -n -r 44100 -c 2 -b 16 "$WORK/album.wav" synth 3600 brownnoise vol 0.5
  flac -s -f -5 -o "$SOURCE" "$WORK/album.wav"
  rm -f "$WORK/album.wav"
fi
{
  echo 'FILE "album.flac" WAVE'
  for i in $(seq 1 12); do
    # Five minutes apart, a few CD frames off every second's start.
    seconds=$(((i - 1) * 300 + (i > 1 ? 1 : 0)))
    printf '  TRACK %02d AUDIO\n    TITLE "Piste %d"\n    INDEX 01 %02d:%02d:%02d\n' \
      "$i" "$i" $((seconds / 60)) $((seconds % 60)) $(((i - 1) * 6 % 75))
  done
} >"$CUE"
echo "Source: $(($(stat -c %s "$SOURCE") / 1048576)) MB, 12 tracks, median of $RUNS runs"

if [[ -n ${ZEMBRIO_CLI:-} ]]; then
  CUT=("$ZEMBRIO_CLI" cut "$SOURCE" --cue "$CUE" --dest "$WORK/out" --overwrite all --quiet)
else
  CUT=("$BUILD/bench/flac/zembrio_flac_bench" "$SOURCE" "$CUE" "$WORK/out")
  [[ -x ${CUT[0]} ]] || { echo "build zembrio_flac_bench first"; exit 1; }
fi

cat "$SOURCE" >/dev/null  # warm the page cache
for _ in $(seq 1 "$RUNS"); do
  rm -rf "$WORK/out" "$WORK/shn" "$WORK/copy.flac" "$WORK/again.flac"
  mkdir -p "$WORK/out" "$WORK/shn"
  sync
  bench_run test flac -s -t "$SOURCE"
  bench_run cp cp "$SOURCE" "$WORK/copy.flac"
  sync
  bench_run cut "${CUT[@]}"
  sync
  bench_run recode bash -c "flac -s -d -c '$SOURCE' | flac -s -5 -o '$WORK/again.flac' -"
  sync
  bench_run shnsplit shnsplit -q -O always -o flac -f "$CUE" -d "$WORK/shn" "$SOURCE"
done
rm -f "$WORK/copy.flac" "$WORK/again.flac"

bench_report test cp "cp" cut "cut (MD5s included)" recode "flac -d | flac -5" \
  shnsplit "shnsplit -o flac"
printf 'flac -d | flac -5 / cut: %.1f   shnsplit / cut: %.1f (wall)\n' \
  "$(echo "$(bench_median "${BENCH_WALL[recode]}") / $(bench_median "${BENCH_WALL[cut]}")" | bc -l)" \
  "$(echo "$(bench_median "${BENCH_WALL[shnsplit]}") / $(bench_median "${BENCH_WALL[cut]}")" | bc -l)"
PEAK_KB=$(/usr/bin/time -f %M "${CUT[@]}" 2>&1 >/dev/null | tail -1)
echo "cut peak memory: $((PEAK_KB / 1024)) MiB; tracks: $(find "$WORK/out" -name '*.flac' | wc -l)"
