#!/usr/bin/env bash
# Cut and statistics benchmark: a ~600 MB MPEG-1 Layer III file (copies of a 10-minute
# 128 kbit/s lame encoding) cut into 20 fragments at 30-minute steps. Prints the median of
# several runs for cp, zembrio-cli cut, zembrio-cli stats and mp3splt -f (frame mode) with
# the same points, the ratios to cp, and the peak memory of zembrio-cli.
# Targets: cut <= 1.5 x cp and >= 4 x faster than mp3splt -f; stats <= 0.3 x cp; < 16 MiB.
#
#   bench/cut/run.sh [BUILD_DIR] [RUNS]
#
# The work files go to bench/work/ (ignored by git) and are kept for the next run.
set -euo pipefail
source "$(dirname "$0")/../common.sh"
BUILD=${1:-$BENCH_ROOT/build}
RUNS=${2:-5}
WORK=$BENCH_ROOT/bench/work/cut
CLI=$BUILD/cli/zembrio-cli
mkdir -p "$WORK"
bench_need lame mp3splt python3 bc time
[[ -x $CLI ]] || { echo "build zembrio-cli first (cmake --build $BUILD)"; exit 1; }

SOURCE=$WORK/source.mp3
if [[ ! -f $SOURCE ]]; then
  echo "Making the source file..."
  bench_ten_minute_mp3 "$WORK/ten.mp3"
  : >"$SOURCE"
  for _ in $(seq 1 63); do cat "$WORK/ten.mp3" >>"$SOURCE"; done
fi
echo "Source: $(($(stat -L -c %s "$SOURCE") / 1048576)) MB, 20 fragments, median of $RUNS runs"

POINTS=()
SPLT_POINTS=()
for i in $(seq 0 19); do
  POINTS+=(--point "$((i * 30))m=frag$i")
  SPLT_POINTS+=("$((i * 30)).00")
done
SPLT_POINTS+=(EOF)
CUT=("$CLI" --ini "$WORK/none.ini" --quiet --overwrite all cut "$SOURCE" "${POINTS[@]}"
     --dest "$WORK/out")

cat "$SOURCE" >/dev/null  # warm the page cache
for _ in $(seq 1 "$RUNS"); do
  rm -rf "$WORK/out" "$WORK/splt" "$WORK/copy.mp3"
  mkdir -p "$WORK/out" "$WORK/splt"
  sync
  bench_run cp cp "$SOURCE" "$WORK/copy.mp3"
  sync
  bench_run cut "${CUT[@]}"
  sync  # the cut's fragments are written back before stats is timed, not during it
  bench_run stats "$CLI" --ini "$WORK/none.ini" --quiet stats "$SOURCE"
  sync
  bench_run mp3splt mp3splt -f -q -d "$WORK/splt" "$SOURCE" "${SPLT_POINTS[@]}"
done
rm -f "$WORK/copy.mp3"

bench_report cp cp "cp" cut "zembrio-cli cut" stats "zembrio-cli stats" mp3splt "mp3splt -f"
printf 'mp3splt -f / zembrio-cli cut: %.1f (wall)\n' \
  "$(echo "$(bench_median "${BENCH_WALL[mp3splt]}") / $(bench_median "${BENCH_WALL[cut]}")" | bc -l)"
PEAK_KB=$(/usr/bin/time -f %M "${CUT[@]}" 2>&1 >/dev/null | tail -1)
echo "zembrio-cli cut peak memory: $((PEAK_KB / 1024)) MiB;" \
  "fragments written: $(find "$WORK/out" -name 'frag*.mp3' | wc -l)"
