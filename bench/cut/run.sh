#!/usr/bin/env bash
# Cut and statistics benchmark: a ~600 MB MPEG-1 Layer III file (copies of a 10-minute
# 128 kbit/s lame encoding) cut into 20 fragments at 30-minute steps. Prints the median of
# several runs for cp, zembrio-cli cut, zembrio-cli stats and mp3splt -f (frame mode) with
# the same points, the ratios, and the peak memory of zembrio-cli.
#
#   bench/cut/run.sh [BUILD_DIR] [RUNS]
#
# The work files go to bench/work/ (ignored by git) and are kept for the next run.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build}
RUNS=${2:-5}
WORK=$ROOT/bench/work/cut
CLI=$BUILD/cli/zembrio-cli
mkdir -p "$WORK"

for tool in lame mp3splt python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (apt-get install lame mp3splt)"; exit 1; }
done
[[ -x $CLI ]] || { echo "build zembrio-cli first (cmake --build $BUILD)"; exit 1; }

SOURCE=$WORK/source.mp3
if [[ ! -f $SOURCE ]]; then
  echo "Making the source file..."
  python3 - "$WORK/ten.wav" <<'PY'
import math, struct, sys, wave
rate, seconds = 44100, 600
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(rate)
    chunk = []
    for i in range(rate * seconds):
        a = int(6000 * math.sin(i * 0.031) + 3000 * math.sin(i * 0.0071))
        b = int(6000 * math.sin(i * 0.043))
        chunk.append(struct.pack("<hh", a, b))
        if len(chunk) == rate:
            w.writeframes(b"".join(chunk)); chunk = []
PY
  lame --quiet -b 128 "$WORK/ten.wav" "$WORK/ten.mp3"
  rm -f "$WORK/ten.wav"
  : >"$SOURCE"
  for _ in $(seq 1 63); do cat "$WORK/ten.mp3" >>"$SOURCE"; done
fi
SIZE_MB=$(( $(stat -c %s "$SOURCE") / 1048576 ))
echo "Source: $SIZE_MB MB"

POINTS=()
SPLT_POINTS=()
for i in $(seq 0 19); do
  POINTS+=(--point "$((i * 30))m=frag$i")
  SPLT_POINTS+=("$((i * 30)).00")
done
SPLT_POINTS+=(EOF)

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
seconds() {  # runs a command once, prints its wall-clock seconds
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

cat "$SOURCE" >/dev/null  # warm the page cache
declare -A TIMES
for run in $(seq 1 "$RUNS"); do
  rm -rf "$WORK/out" "$WORK/splt" "$WORK/copy.mp3"; mkdir -p "$WORK/out" "$WORK/splt"
  TIMES[cp]+="$(seconds cp "$SOURCE" "$WORK/copy.mp3") "
  TIMES[cut]+="$(seconds "$CLI" --ini "$WORK/none.ini" --quiet --overwrite all cut "$SOURCE" \
    "${POINTS[@]}" --dest "$WORK/out") "
  TIMES[stats]+="$(seconds "$CLI" --ini "$WORK/none.ini" --quiet stats "$SOURCE") "
  TIMES[mp3splt]+="$(seconds mp3splt -f -q -d "$WORK/splt" "$SOURCE" "${SPLT_POINTS[@]}") "
done
rm -f "$WORK/copy.mp3"

declare -A MEDIAN
for key in cp cut stats mp3splt; do
  MEDIAN[$key]=$(tr ' ' '\n' <<<"${TIMES[$key]}" | grep . | median)
done
PEAK_KB=$(/usr/bin/time -f %M "$CLI" --ini "$WORK/none.ini" --quiet --overwrite all cut \
  "$SOURCE" "${POINTS[@]}" --dest "$WORK/out" 2>&1 >/dev/null | tail -1)
FRAGMENTS=$(find "$WORK/out" -name 'frag*.mp3' | wc -l)

printf '%-22s %8s s\n' "cp" "${MEDIAN[cp]}"
printf '%-22s %8s s  %5.2f x cp   (mp3splt / cut: %5.1f)\n' "zembrio-cli cut" "${MEDIAN[cut]}" \
  "$(echo "${MEDIAN[cut]} / ${MEDIAN[cp]}" | bc -l)" "$(echo "${MEDIAN[mp3splt]} / ${MEDIAN[cut]}" | bc -l)"
printf '%-22s %8s s  %5.2f x cp\n' "zembrio-cli stats" "${MEDIAN[stats]}" \
  "$(echo "${MEDIAN[stats]} / ${MEDIAN[cp]}" | bc -l)"
printf '%-22s %8s s  %5.2f x cp\n' "mp3splt -f" "${MEDIAN[mp3splt]}" \
  "$(echo "${MEDIAN[mp3splt]} / ${MEDIAN[cp]}" | bc -l)"
echo "zembrio-cli cut peak memory: $((PEAK_KB / 1024)) MiB; fragments written: $FRAGMENTS"
