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
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build}
RUNS=${2:-5}
WORK=$ROOT/bench/work/join
CLI=$BUILD/cli/zembrio-cli
mkdir -p "$WORK"
[[ -x $CLI ]] || { echo "build zembrio-cli first (cmake --build $BUILD)"; exit 1; }

FRAGMENTS=()
if [[ -f $ROOT/bench/work/cut/out/frag19.mp3 ]]; then
  for i in $(seq 0 19); do FRAGMENTS+=("$ROOT/bench/work/cut/out/frag$i.mp3"); done
else
  for tool in lame python3; do
    command -v "$tool" >/dev/null || { echo "missing $tool (apt-get install lame)"; exit 1; }
  done
  if [[ ! -f $WORK/frag19.mp3 ]]; then
    echo "Making the fragments..."
    python3 - "$WORK/ten.wav" <<'PY'
import math, struct, sys, wave
rate, seconds = 44100, 600
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(rate)
    for s in range(seconds):
        w.writeframes(b"".join(struct.pack("<hh", int(6000 * math.sin(i * 0.031)),
                                           int(6000 * math.sin(i * 0.043)))
                               for i in range(s * rate, (s + 1) * rate)))
PY
    lame --quiet -b 128 "$WORK/ten.wav" "$WORK/ten.mp3"
    rm -f "$WORK/ten.wav"
    # Each fragment: three copies of the ten minutes, about 29 MB.
    for i in $(seq 0 19); do
      cat "$WORK/ten.mp3" "$WORK/ten.mp3" "$WORK/ten.mp3" >"$WORK/frag$i.mp3"
    done
  fi
  for i in $(seq 0 19); do FRAGMENTS+=("$WORK/frag$i.mp3"); done
fi
TOTAL_MB=$(( $(cat "${FRAGMENTS[@]}" | wc -c) / 1048576 ))
echo "Inputs: ${#FRAGMENTS[@]} fragments, $TOTAL_MB MB"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
seconds() {  # runs a command once, prints its wall-clock seconds
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
copy_all() {  # cp of the same total: every fragment copied into the work folder
  mkdir -p "$OUT/cp"
  for f in "${FRAGMENTS[@]}"; do cp "$f" "$OUT/cp/"; done
}

OUT=${BENCH_OUT:-}
if [[ -z $OUT ]]; then
  if [[ -w /dev/shm ]]; then OUT=$(mktemp -d /dev/shm/zembrio-join.XXXXXX); else OUT=$WORK/out; fi
fi
mkdir -p "$OUT"
trap 'rm -rf "$OUT"' EXIT
cat "${FRAGMENTS[@]}" >/dev/null  # warm the page cache

declare -A TIMES
for run in $(seq 1 "$RUNS"); do
  rm -rf "$OUT/cp" "$OUT/frames.mp3" "$OUT/raw.mp3"
  sync
  TIMES[cp]+="$(seconds copy_all) "
  TIMES[frames]+="$(seconds "$CLI" --ini "$WORK/none.ini" --quiet --overwrite all join \
    --output "$OUT/frames.mp3" "${FRAGMENTS[@]}") "
  TIMES[raw]+="$(seconds "$CLI" --ini "$WORK/none.ini" --quiet --overwrite all join \
    --output "$OUT/raw.mp3" --raw "${FRAGMENTS[@]}") "
done
cmp -s "$OUT/raw.mp3" <(cat "${FRAGMENTS[@]}") || echo "WARNING: raw join differs from cat"

declare -A MEDIAN
for key in cp frames raw; do
  MEDIAN[$key]=$(tr ' ' '\n' <<<"${TIMES[$key]}" | grep . | median)
done
printf '%-30s %8s s\n' "cp" "${MEDIAN[cp]}"
printf '%-30s %8s s  %5.2f x cp  (target <= 1.5)\n' "zembrio-cli join (frames)" \
  "${MEDIAN[frames]}" "$(echo "${MEDIAN[frames]} / ${MEDIAN[cp]}" | bc -l)"
printf '%-30s %8s s  %5.2f x cp  (target <= 1.2)\n' "zembrio-cli join --raw" \
  "${MEDIAN[raw]}" "$(echo "${MEDIAN[raw]} / ${MEDIAN[cp]}" | bc -l)"
