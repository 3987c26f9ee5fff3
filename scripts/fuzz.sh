#!/usr/bin/env bash
# Builds the libFuzzer targets with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# each for SECONDS (default 180), one after the other, on one core (FUZZ_LANES=N: N targets
# at a time, one per core; FUZZ_SEED=N: the same mutations on every run, from the seeds).
#   [FUZZ_LANES=N] [FUZZ_SEED=N] scripts/fuzz.sh [SECONDS] [TARGET...]
# Corpora grow in build-fuzz/corpus/<target> from run to run; crashes, hangs and leaks are
# kept in build-fuzz/artifacts/ and make the script fail. Each target's last figures
# (executions per second, coverage) are printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_EACH=${1:-180}
shift || true
BUILD=build-fuzz
# Scratch files on tmpfs: the settings save syncs every file it writes.
export TMPDIR=${TMPDIR:-/dev/shm}
ALL_TARGETS=(fuzz_frameheader fuzz_mpgwalk fuzz_settings fuzz_cuesheet fuzz_xmcd fuzz_plaintext
             fuzz_parsetime fuzz_hexdecode fuzz_splitter fuzz_xingheader fuzz_sound
             fuzz_flacframes fuzz_flacmeta fuzz_wavreader fuzz_opuswalk)
TARGETS=("${@:-${ALL_TARGETS[@]}}")

scripts/deps.sh clang-14 libclang-rt-14-dev cmake make pkg-config libstdc++-12-dev libmpg123-dev \
  libvorbis-dev sox vorbis-tools libtag1-dev libflac-dev flac libssl-dev libogg-dev libopus-dev \
  libopusfile-dev opus-tools libuchardet-dev

cmake -S . -B "$BUILD" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_UNITY_BUILD=ON -DZEMBRIO_FUZZ=ON -DZEMBRIO_BUILD_UI=OFF -DZEMBRIO_BUILD_TESTS=OFF >/dev/null
nice cmake --build "$BUILD" --target zembrio_fuzzers -j2

# Seeds: the built streams and samples, then the committed test files.
rm -rf "$BUILD/seeds"
"$BUILD/fuzz/fuzz_seeds" "$BUILD/seeds"
for f in tests/data/*.mp3 tests/data/*.mp2; do
  cp "$f" "$BUILD/seeds/fuzz_mpgwalk/"
  { printf '\x00\x28\x1e\x0f'; cat "$f"; } >"$BUILD/seeds/fuzz_splitter/$(basename "$f")"
  mkdir -p "$BUILD/seeds/fuzz_xingheader"
  { printf '\x07'; head -c 4100 "$f" | tail -c +5; } >"$BUILD/seeds/fuzz_xingheader/$(basename "$f")"
done
mkdir -p "$BUILD/seeds/fuzz_cuesheet" "$BUILD/seeds/fuzz_xmcd"
cp tests/data/import/*.cue "$BUILD/seeds/fuzz_cuesheet/"
cp tests/data/import/*.xmcd "$BUILD/seeds/fuzz_xmcd/"
cp tests/data/import/*.txt "$BUILD/seeds/fuzz_plaintext/"
# The sound target reads a choice byte first: even for MPEG, odd for Ogg Vorbis.
mkdir -p "$BUILD/seeds/fuzz_sound"
for f in tests/data/*.mp3; do
  { printf '\x00'; cat "$f"; } >"$BUILD/seeds/fuzz_sound/$(basename "$f")"
done
sox -q -n -r 8000 -c 1 -b 16 "$BUILD/seeds/sound.wav" synth 1 sine 440 : synth 1 whitenoise gain -70 \
  : synth 1 sine 300
oggenc -Q -q 0 -o "$BUILD/seeds/sound.ogg" "$BUILD/seeds/sound.wav"
{ printf '\x01'; cat "$BUILD/seeds/sound.ogg"; } >"$BUILD/seeds/fuzz_sound/sound.ogg"
# The lossless and Opus targets start from small real files of their format.
mkdir -p "$BUILD/seeds/fuzz_flacframes" "$BUILD/seeds/fuzz_flacmeta" "$BUILD/seeds/fuzz_wavreader" \
  "$BUILD/seeds/fuzz_opuswalk"
cp "$BUILD/seeds/sound.wav" "$BUILD/seeds/fuzz_wavreader/"
flac -s -f --blocksize=1152 -o "$BUILD/seeds/sound.flac" "$BUILD/seeds/sound.wav"
cp "$BUILD/seeds/sound.flac" "$BUILD/seeds/fuzz_flacframes/"
cp "$BUILD/seeds/sound.flac" "$BUILD/seeds/fuzz_flacmeta/"
opusenc --quiet "$BUILD/seeds/sound.wav" "$BUILD/seeds/fuzz_opuswalk/sound.opus"

dict_of() {
  case "$1" in
    fuzz_frameheader | fuzz_mpgwalk | fuzz_splitter | fuzz_xingheader | fuzz_sound) echo mpeg ;;
    fuzz_settings) echo settings ;;
    fuzz_cuesheet) echo cue ;;
    fuzz_xmcd) echo xmcd ;;
    fuzz_plaintext) echo plaintext ;;
    fuzz_parsetime) echo time ;;
    fuzz_hexdecode) echo hex ;;
  esac
}

run_target() {
  local target=$1 corpus="$BUILD/corpus/$1" maxlen=4096
  mkdir -p "$corpus" "$BUILD/seeds/$target"
  case "$target" in
    fuzz_mpgwalk | fuzz_splitter | fuzz_sound | fuzz_flac* | fuzz_wavreader | fuzz_opuswalk)
      maxlen=65536 ;;
  esac
  echo "== $target: ${SECONDS_EACH}s"
  local dict=() seed=()
  [[ -z $(dict_of "$target") ]] || dict=(-dict="fuzz/dict/$(dict_of "$target").dict")
  [[ -z ${FUZZ_SEED:-} ]] || seed=(-seed="$FUZZ_SEED")
  rm -f "$BUILD/logs/$target.failed"
  if ! nice -n 10 "$BUILD/fuzz/$target" "$corpus" "$BUILD/seeds/$target" \
      "${dict[@]}" "${seed[@]}" -max_total_time="$SECONDS_EACH" \
      -max_len="$maxlen" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$BUILD/artifacts/$target-" >"$BUILD/logs/$target.log" 2>&1; then
    touch "$BUILD/logs/$target.failed"
  fi
}

# Each lane takes every LANES-th target, so the lanes end at about the same time.
LANES=${FUZZ_LANES:-1}
mkdir -p "$BUILD/artifacts" "$BUILD/logs"
for ((lane = 0; lane < LANES; ++lane)); do
  (
    for ((i = lane; i < ${#TARGETS[@]}; i += LANES)); do
      run_target "${TARGETS[i]}"
    done
  ) &
done
wait
failed=()
for target in "${TARGETS[@]}"; do
  [[ ! -e "$BUILD/logs/$target.failed" ]] || failed+=("$target")
done

echo
echo "target               last status line"
for target in "${TARGETS[@]}"; do
  line=$(grep -E '^#[0-9]+' "$BUILD/logs/$target.log" | tail -1 || true)
  printf '%-20s %s\n' "$target" "$line"
done
if ((${#failed[@]})); then
  # What the failing targets printed last (the check or sanitizer report and the input), so
  # that a run whose build folder is gone still says why.
  for target in "${failed[@]}"; do
    echo "== $target" >&2
    grep -v -E '^#[0-9]+' "$BUILD/logs/$target.log" | tail -40 >&2
  done
  echo "Failed (see $BUILD/logs and $BUILD/artifacts): ${failed[*]}" >&2
  exit 1
fi
