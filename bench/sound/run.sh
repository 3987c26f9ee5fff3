#!/usr/bin/env bash
# Sound benchmark on a 25-minute 128 kbit/s MP3 made like a live recording (seven tracks of
# noise and tones, one quieter passage in each, pauses of 2.5 s at -66 dBFS between them):
#   - pause detection, zembrio-cli silence, beside mp3splt -s -P (pause mode, pretend);
#   - the level envelope, zembrio-cli levels and the engine alone (zembrio_bench_strip
#     --plain), beside mpg123 -t (decoding alone);
#   - the window's waveform strip on a 1-hour MP3 (the same recording repeated), through the
#     engine path the strip uses (zembrio_bench_strip): the first stretch drawn, the whole
#     strip sketched, the whole strip measured; beside the strip's former way (one decoder
#     read in order on one thread).
# Prints medians of several runs and the ratios (targets: detection at least 4 times as
# fast as mp3splt, goal 10; envelope within half the time of mpg123 -t, goal a third;
# strip: a first view within 0.2 s, measured within 1.5 s).
#
#   bench/sound/run.sh [BUILD_DIR] [RUNS]
#
# The source is made once in bench/work/sound/ (ignored by git, kept for the next run).
set -euo pipefail
source "$(dirname "$0")/../common.sh"
BUILD=${1:-$BENCH_ROOT/build}
RUNS=${2:-5}
WORK=$BENCH_ROOT/bench/work/sound
CLI=$BUILD/cli/zembrio-cli
STRIP=$BUILD/bench/sound/zembrio_bench_strip
SOURCE=$WORK/live25.mp3
HOUR=$WORK/live60.mp3
mkdir -p "$WORK"
bench_need lame sox mp3splt mpg123 python3 bc
[[ -x $CLI && -x $STRIP ]] || { echo "build zembrio-cli first (cmake --build $BUILD)"; exit 1; }

if [[ ! -f $SOURCE ]]; then
  echo "Making the 25-minute source..."
  parts=()
  for i in $(seq 1 7); do
    tone=$((220 + 55 * i))
    sox -q -n -r 44100 -c 2 -b 16 "$WORK/noise$i.wav" synth 212 pinknoise gain -20 \
      tremolo 0.$i 60
    sox -q -n -r 44100 -c 2 -b 16 "$WORK/tone$i.wav" synth 212 sine $tone sine $((tone * 3 / 2)) \
      gain -16
    # A quieter passage of 10 s in the middle of every track.
    sox -q -m "$WORK/noise$i.wav" "$WORK/tone$i.wav" "$WORK/track$i.wav" \
      gain -n -3 trim 0 212
    sox -q "$WORK/track$i.wav" "$WORK/quiet$i.wav" trim 100 10 gain -22
    sox -q "$WORK/track$i.wav" "$WORK/a$i.wav" trim 0 100
    sox -q "$WORK/track$i.wav" "$WORK/b$i.wav" trim 110
    parts+=("$WORK/a$i.wav" "$WORK/quiet$i.wav" "$WORK/b$i.wav")
    if ((i < 7)); then
      sox -q -n -r 44100 -c 2 -b 16 "$WORK/pause$i.wav" synth 2.5 whitenoise gain -62
      parts+=("$WORK/pause$i.wav")
    fi
  done
  sox -q "${parts[@]}" "$WORK/live25.wav"
  lame --quiet -b 128 "$WORK/live25.wav" "$SOURCE"
  rm -f "$WORK"/*.wav
fi
if [[ ! -f $HOUR ]]; then
  echo "Making the 1-hour source..."
  mpg123 -q -w "$WORK/live25.wav" "$SOURCE"
  sox -q "$WORK/live25.wav" "$WORK/live60.wav" repeat 2 trim 0 3600
  lame --quiet -b 128 "$WORK/live60.wav" "$HOUR"
  rm -f "$WORK"/*.wav
fi
echo "Source: $(basename "$SOURCE"), $(($(stat -c %s "$SOURCE") / 1048576)) MB," \
  "$(python3 -c "print(round($(stat -c %s "$SOURCE") * 8 / 128000 / 60, 1))") min," \
  "median of $RUNS runs on $(nproc) processors"
cat "$SOURCE" "$HOUR" >/dev/null  # warm the page cache

INI=$WORK/none.ini
STRIP_FIRST="" STRIP_SKETCHED="" STRIP_MEASURED="" ONE_FIRST="" ONE_MEASURED=""
for _ in $(seq 1 "$RUNS"); do
  bench_run mp3splt mp3splt -q -s -P "$SOURCE"
  bench_run silence "$CLI" --ini "$INI" --quiet silence "$SOURCE"
  bench_run mpg123 mpg123 -q -t "$SOURCE"
  bench_run levels "$CLI" --ini "$INI" --quiet levels "$SOURCE"
  bench_run engine "$STRIP" --plain "$SOURCE"
  read -r opened first sketched measured _ < <("$STRIP" "$HOUR")
  STRIP_FIRST+="$first "
  STRIP_SKETCHED+="$sketched "
  STRIP_MEASURED+="$measured "
  read -r opened first sketched measured _ < <("$STRIP" --one-thread "$HOUR")
  ONE_FIRST+="$first "
  ONE_MEASURED+="$measured "
done

echo "Points found by zembrio-cli silence (start, name, duration):"
"$CLI" --ini "$INI" --quiet silence "$SOURCE" | sed 's/^/  /'
echo
bench_report mp3splt mp3splt "mp3splt -s -P" silence "zembrio-cli silence"
echo
bench_report mpg123 mpg123 "mpg123 -t" levels "zembrio-cli levels" engine "envelope (engine alone)"
echo
echo "Strip of $(basename "$HOUR"), seconds from the start (medians):"
printf '  first stretch drawn %s, whole strip sketched %s, whole strip measured %s\n' \
  "$(bench_median "$STRIP_FIRST")" "$(bench_median "$STRIP_SKETCHED")" \
  "$(bench_median "$STRIP_MEASURED")"
printf '  the former way (one thread, in order): first 20 s drawn %s, whole strip %s\n' \
  "$(bench_median "$ONE_FIRST")" "$(bench_median "$ONE_MEASURED")"
echo "Targets: silence <= 0.25 x mp3splt -s -P (goal 0.1); levels <= 0.5 x mpg123 -t (goal 0.33);"
echo "  strip: first view <= 0.2 s, measured <= 1.5 s."
