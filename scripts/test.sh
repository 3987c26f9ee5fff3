#!/usr/bin/env bash
# The test command: installs what is missing, checks the style, builds, and runs every
# test, first in a normal build, then in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer.
#
# Both builds are unity builds with line tables only (-g1): enough for the sanitizers' stack
# traces and a failing test's backtrace, at a fraction of the compile and link time of full
# debug information. The sanitized build stays at -O0, where ASan and UBSan compile fastest.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
scripts/format-check.sh

JOBS=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_UNITY_BUILD=ON \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
cmake --build build -j"$JOBS"
ctest --test-dir build --output-on-failure -j"$JOBS"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DZEMBRIO_SANITIZE=ON -DCMAKE_UNITY_BUILD=ON \
  "-DCMAKE_CXX_FLAGS_DEBUG=-O0 -g1"
cmake --build build-sanitize -j"$JOBS"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$JOBS"
