// Walks every frame of an MPEG file the way the splitter and the statistics do, and prints
// the throughput. Usage: zembrio_bench_walk [--copy] [--seconds] FILE
//   --copy     read every frame's data into the frame buffer (as a cut does) instead of
//              skipping over it
//   --seconds  print only the elapsed wall-clock and processor seconds (for scripts)
// The processor time (user + system) is the steadier figure on a machine that is busy
// with other work; the wall-clock time is what the user waits.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <string>

#include "mpeg/mpgfile.h"

namespace {

struct WalkResult {
  int64_t frames = 0;
  int64_t skipped = 0;
  int64_t bytes = 0;
};

WalkResult Walk(const std::string& path, bool copy) {
  zembrio::TMPGFile file;
  file.Open(path, true);
  WalkResult result;
  for (;;) {
    if (file.NextFrame() == zembrio::EndOfData) {
      break;
    }
    if (copy) {
      file.ReadData();
    } else {
      file.SkipData();
    }
  }
  result.frames = file.FrameCount();
  result.skipped = file.SkippedBytes();
  result.bytes = file.FileSize();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  bool copy = false;
  bool secondsOnly = false;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--copy") {
      copy = true;
    } else if (arg == "--seconds") {
      secondsOnly = true;
    } else {
      path = arg;
    }
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: zembrio_bench_walk [--copy] [--seconds] FILE\n");
    return 2;
  }
  try {
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    const WalkResult result = Walk(path, copy);
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const double seconds = elapsed.count();
    if (secondsOnly) {
      std::printf("%.4f %.4f\n", seconds, cpu);
    } else {
      const double megabytes = static_cast<double>(result.bytes) / 1e6;
      std::printf(
          "%s: %.1f MB in %.3f s (%.3f s processor) = %.0f MB/s, %lld frames, %lld bytes "
          "skipped\n",
          copy ? "walk+read" : "walk", megabytes, seconds, cpu, megabytes / seconds,
          static_cast<long long>(result.frames), static_cast<long long>(result.skipped));
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
