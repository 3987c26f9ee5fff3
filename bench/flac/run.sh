#!/usr/bin/env bash
# FLAC cut benchmark: a 60-minute 16-bit 44.1 kHz FLAC (sox noise + flac -5, about 300 MB)
# cut into 12 tracks by a CUE sheet at CD-frame points. Prints the medians of the cut, MD5s
# included, against flac -t, cp, a decode and re-encode (flac -d | flac -5) and
# shnsplit -o flac, the cut's ratio to each of them side by side, its peak memory and the
# machine's load (the processor-time ratios are the steadier ones on a shared machine).
# Targets: cut <= 1.2 x flac -t (goal 0.6 x).
#
#   bench/flac/run.sh [BUILD_DIR] [RUNS]
#
# zembrio-cli of BUILD_DIR (or ZEMBRIO_CLI) cuts with a CUE sheet, as a user runs it. Work
# files go to bench/work/flac/ and are kept for the next run.
set -euo pipefail
source "$(dirname "$0")/../common.sh"
BUILD=${1:-$BENCH_ROOT/build}
RUNS=${2:-3}
WORK=$BENCH_ROOT/bench/work/flac
mkdir -p "$WORK"
for tool in sox flac shnsplit python3 bc; do
  command -v "$tool" >/dev/null || { echo "missing: $tool"; exit 1; }
done

# bench_ratios KEY LABEL [OTHER LABEL]...: KEY's median against each other's, wall and
# processor time, one line each.
bench_ratios() {
  local key=$1 label=$2 w c
  w=$(bench_median "${BENCH_WALL[$key]}")
  c=$(bench_median "${BENCH_CPU[$key]}")
  shift 2
  printf '%-36s %9s %9s\n' "" "wall" "cpu"
  while (($#)); do
    printf '%-36s %9.2f %9.2f\n' "$label / $2" \
      "$(echo "$w / $(bench_median "${BENCH_WALL[$1]}")" | bc -l)" \
      "$(echo "$c / $(bench_median "${BENCH_CPU[$1]}")" | bc -l)"
    shift 2
  done
}

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

CLI=${ZEMBRIO_CLI:-$BUILD/cli/zembrio-cli}
[[ -x $CLI ]] || { echo "build zembrio-cli first"; exit 1; }
CUT=("$CLI" --ini "$WORK/none.ini" cut "$SOURCE" --cue "$CUE" --dest "$WORK/out" --overwrite all
     --quiet)

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
echo
bench_ratios cut "cut" test "flac -t" cp "cp" recode "flac -d | flac -5" \
  shnsplit "shnsplit -o flac"
PEAK_KB=$(/usr/bin/time -f %M "${CUT[@]}" 2>&1 >/dev/null | tail -1)
echo "cut peak memory: $((PEAK_KB / 1024)) MiB; tracks: $(find "$WORK/out" -name '*.flac' | wc -l)"
echo "load average: $(cut -d ' ' -f 1-3 /proc/loadavg) on $(nproc) processors"
