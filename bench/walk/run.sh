#!/bin/bash
# Times the frame walk against cp on a large MPEG file made of many copies of a short
# encoded file, and the walk through a long stretch of garbage. Nothing it makes is kept.
#   ZEMBRIO_BUILD_DIR  build folder (default: build-bench beside the sources), configured Release
#   BENCH_MB           approximate size of the large file in MB (default 400)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/bench/common.sh"
build=${ZEMBRIO_BUILD_DIR:-$root/build-bench}
target_mb=${BENCH_MB:-400}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZEMBRIO_BUILD_UI=OFF >/dev/null
if ! cmake --build "$build" --target zembrio_bench_walk -j2 >"$build/bench-build.log" 2>&1; then
  cat "$build/bench-build.log" >&2
  exit 1
fi
walk="$build/bench/walk/zembrio_bench_walk"

work=$(mktemp -d "${TMPDIR:-/tmp}/zembrio-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Ten seconds of noise-like tone, encoded once; the large file is copies of it.
python3 - "$work/tone.wav" <<'PY'
import math, struct, sys, wave
rate = 44100
with wave.open(sys.argv[1], "wb") as out:
    out.setnchannels(2)
    out.setsampwidth(2)
    out.setframerate(rate)
    data = bytearray()
    for i in range(rate * 10):
        t = i / rate
        v = math.sin(2 * math.pi * 440 * t) * 0.5 + math.sin(2 * math.pi * 1234.5 * t * t) * 0.3
        data += struct.pack("<hh", int(v * 16000), int(-v * 12000))
    out.writeframes(bytes(data))
PY
lame --quiet -b 192 "$work/tone.wav" "$work/piece.mp3"
cp "$work/piece.mp3" "$work/big.mp3"
while [ $(( $(stat -c %s "$work/big.mp3") / 1000000 )) -lt "$target_mb" ]; do
  cat "$work/big.mp3" "$work/big.mp3" > "$work/next.mp3"
  mv "$work/next.mp3" "$work/big.mp3"
done

# Garbage: 64 MB of random bytes between two clean pieces.
cp "$work/piece.mp3" "$work/garbage.mp3"
head -c 64000000 /dev/urandom >> "$work/garbage.mp3"
cat "$work/piece.mp3" >> "$work/garbage.mp3"

# Best of three runs, wall and processor time taken separately.
best() {
  for _ in 1 2 3; do "$@"; done | sort -n -k1 | head -1 | awk '{printf "%s ", $1}'
  for _ in 1 2 3; do "$@"; done | sort -n -k2 | head -1 | awk '{print $2}'
}
walk_time() { "$walk" --seconds "$@"; }
cp_time() {
  bench_timed cp "$work/big.mp3" "$work/copy.mp3"
  rm -f "$work/copy.mp3"
}

cat "$work/big.mp3" "$work/garbage.mp3" > /dev/null  # warm the page cache
size_mb=$(awk "BEGIN{printf \"%.1f\", $(stat -c %s "$work/big.mp3") / 1e6}")
garbage_mb=$(awk "BEGIN{printf \"%.1f\", $(stat -c %s "$work/garbage.mp3") / 1e6}")

read -r cp_w cp_c < <(best cp_time)
read -r walk_w walk_c < <(best walk_time "$work/big.mp3")
read -r read_w read_c < <(best walk_time --copy "$work/big.mp3")
read -r garbage_w garbage_c < <(best walk_time "$work/garbage.mp3")

"$walk" "$work/big.mp3"
"$walk" "$work/garbage.mp3"
echo "uptime: $(uptime)"
awk -v mb="$size_mb" -v gmb="$garbage_mb" -v cw="$cp_w" -v cc="$cp_c" -v ww="$walk_w" \
    -v wc="$walk_c" -v rw="$read_w" -v rc="$read_c" -v gw="$garbage_w" -v gc="$garbage_c" '
function line(name, w, c, size, base_w, base_c) {
  printf "  %-18s %7.3f s %6.0f MB/s  %7.3f s %6.0f MB/s", name, w, size / w, c, size / c
  if (base_w > 0) printf "   %5.2f  %5.2f", w / base_w, c / base_c
  printf "\n"
}
BEGIN {
  printf "file %.1f MB from the page cache, best of 3     wall clock            processor      ratio to cp\n", mb
  line("cp", cw, cc, mb, 0, 0)
  line("walk (skip data)", ww, wc, mb, cw, cc)
  line("walk (read data)", rw, rc, mb, cw, cc)
  printf "garbage %.1f MB (random bytes between two clean pieces)\n", gmb
  line("walk", gw, gc, gmb, 0, 0)
}'
