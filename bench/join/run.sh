#!/usr/bin/env bash
# Join benchmark: 20 MPEG-1 Layer III fragments (~600 MB together) joined back into one
# file with zembrio-cli, frame copy and raw copy, beside cp of the same total. Prints the
# median of several runs and the ratios to cp (targets: frame copy <= 1.5 x, raw <= 1.2 x).
#
#   bench/join/run.sh [BUILD_DIR] [RUNS]
#
# Uses the cut benchmark's fragments (bench/work/cut/out/frag*.mp3) when they are there;
# otherwise makes 20 fragments of its own in bench/work/join/ (ignored by git, kept).
# The joined files and the copies go to a memory folder (/dev/shm when there is one, or
# $BENCH_OUT), so that disk write-back of one run does not slow the next one down.
set -euo pipefail
source "$(dirname "$0")/../common.sh"
BUILD=${1:-$BENCH_ROOT/build}
RUNS=${2:-5}
WORK=$BENCH_ROOT/bench/work/join
CLI=$BUILD/cli/zembrio-cli
mkdir -p "$WORK"
bench_need lame python3 bc time
[[ -x $CLI ]] || { echo "build zembrio-cli first (cmake --build $BUILD)"; exit 1; }

FRAGMENTS=()
if [[ -f $BENCH_ROOT/bench/work/cut/out/frag19.mp3 ]]; then
  for i in $(seq 0 19); do FRAGMENTS+=("$BENCH_ROOT/bench/work/cut/out/frag$i.mp3"); done
else
  if [[ ! -f $WORK/frag19.mp3 ]]; then
    echo "Making the fragments..."
    bench_ten_minute_mp3 "$WORK/ten.mp3"
    # Each fragment: three copies of the ten minutes, about 29 MB.
    for i in $(seq 0 19); do
      cat "$WORK/ten.mp3" "$WORK/ten.mp3" "$WORK/ten.mp3" >"$WORK/frag$i.mp3"
    done
  fi
  for i in $(seq 0 19); do FRAGMENTS+=("$WORK/frag$i.mp3"); done
fi
echo "Inputs: ${#FRAGMENTS[@]} fragments, $(($(cat "${FRAGMENTS[@]}" | wc -c) / 1048576)) MB," \
  "median of $RUNS runs"

OUT=${BENCH_OUT:-}
if [[ -z $OUT ]]; then
  if [[ -w /dev/shm ]]; then OUT=$(mktemp -d /dev/shm/zembrio-join.XXXXXX); else OUT=$WORK/out; fi
fi
mkdir -p "$OUT"
trap 'rm -rf "$OUT"' EXIT
cat "${FRAGMENTS[@]}" >/dev/null  # warm the page cache

for _ in $(seq 1 "$RUNS"); do
  rm -rf "$OUT/cp" "$OUT/frames.mp3" "$OUT/raw.mp3"
  mkdir -p "$OUT/cp"
  sync
  bench_run cp cp "${FRAGMENTS[@]}" "$OUT/cp/"
  bench_run frames "$CLI" --ini "$WORK/none.ini" --quiet --overwrite all join \
    --output "$OUT/frames.mp3" "${FRAGMENTS[@]}"
  bench_run raw "$CLI" --ini "$WORK/none.ini" --quiet --overwrite all join \
    --output "$OUT/raw.mp3" --raw "${FRAGMENTS[@]}"
done
cmp -s "$OUT/raw.mp3" <(cat "${FRAGMENTS[@]}") || echo "WARNING: raw join differs from cat"

bench_report cp cp "cp" frames "zembrio-cli join (frames)" raw "zembrio-cli join --raw"
echo "Targets: frame copy <= 1.5 x cp, raw copy <= 1.2 x cp."
