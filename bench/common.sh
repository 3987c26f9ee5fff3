# Shared by the benchmark scripts (sourced): tools, the ten-minute lame source, timing and
# medians. Each measured command is timed for wall-clock and processor time (user + system);
# on a loaded machine the processor-time ratio is the steadier of the two.

BENCH_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
declare -A BENCH_WALL BENCH_CPU

bench_need() { "$BENCH_ROOT/scripts/deps.sh" "$@" >/dev/null; }

# Makes a 10-minute 128 kbit/s stereo MP3 (a generated tone) at path $1.
bench_ten_minute_mp3() {
  local wav=${1%.mp3}.wav
  python3 - "$wav" <<'PY'
import math, struct, sys, wave
rate, seconds = 44100, 600
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(rate)
    for s in range(seconds):
        w.writeframes(b"".join(struct.pack("<hh", int(6000 * math.sin(i * 0.031)),
                                           int(6000 * math.sin(i * 0.043)))
                               for i in range(s * rate, (s + 1) * rate)))
PY
  lame --quiet -b 128 "$wav" "$1"
  rm -f "$wav"
}

# bench_timed COMMAND...: prints "wall processor" seconds of a command to the tenth of a
# millisecond (user + system time of the command itself, its threads included).
bench_timed() {
  python3 - "$@" <<'PY'
import os, shutil, sys, time
program = shutil.which(sys.argv[1]) or sys.argv[1]
null = os.open(os.devnull, os.O_WRONLY)
actions = [(os.POSIX_SPAWN_DUP2, null, 1), (os.POSIX_SPAWN_DUP2, null, 2)]
# posix_spawn starts the command without copying this interpreter's memory, which a fork
# would do, adding its cost to every figure.
start = time.monotonic()
pid = os.posix_spawn(program, sys.argv[1:], os.environ, file_actions=actions)
_, status, usage = os.wait4(pid, 0)
if status != 0:
    sys.exit("command failed: " + " ".join(sys.argv[1:]))
print(f"{time.monotonic() - start:.4f} {usage.ru_utime + usage.ru_stime:.4f}")
PY
}

# bench_run KEY COMMAND...: runs the command once and records its times under KEY.
bench_run() {
  local key=$1 wall cpu
  shift
  read -r wall cpu < <(bench_timed "$@")
  BENCH_WALL[$key]+="$wall "
  BENCH_CPU[$key]+="$cpu "
}

bench_median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# bench_report BASE KEY LABEL [TARGET]...: one line per key with medians and ratios to BASE.
bench_report() {
  local base=$1 bw bc
  shift
  bw=$(bench_median "${BENCH_WALL[$base]}")
  bc=$(bench_median "${BENCH_CPU[$base]}")
  printf '%-28s %9s %9s %9s %9s\n' "" "wall s" "x $base" "cpu s" "x $base"
  while (($#)); do
    local key=$1 label=$2 w c
    shift 2
    w=$(bench_median "${BENCH_WALL[$key]}")
    c=$(bench_median "${BENCH_CPU[$key]}")
    printf '%-28s %9.4f %9.2f %9.4f %9.2f\n' "$label" "$w" "$(echo "$w / $bw" | bc -l)" \
      "$c" "$(echo "$c / $bc" | bc -l)"
  done
}
