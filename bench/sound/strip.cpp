// Times what the window's waveform strip waits for, through the engine path it uses (no Qt):
// the source opened, the first stretch drawn (a sketch or levels), the whole strip sketched
// and the whole strip measured. Usage: zembrio_bench_strip [--plain | --one-thread] FILE
//   --plain       the envelope alone, as the command line computes it (no sketch asked for)
//   --one-thread  the strip's former way, for comparison: one decoder read in order,
//                 first drawn after 2000 steps
// Prints one line of seconds since the start: opened first sketched measured cpu, with -1
// for what did not happen. cpu is the processor time of the whole run (all threads).
#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <memory>
#include <string>

#include "sound/decoder.h"
#include "sound/envelope.h"
#include "sound/levelmeter.h"

namespace {

using TClock = std::chrono::steady_clock;

struct TTimes {
  double Opened = -1;
  double First = -1;     // the first stretch of any kind handed over
  double Sketched = -1;  // every step sketched
  double Measured = -1;  // every step measured
};

double Since(TClock::time_point start) {
  return std::chrono::duration<double>(TClock::now() - start).count();
}

TTimes Run(const std::string& path, bool plain) {
  TTimes times;
  const TClock::time_point start = TClock::now();
  int64_t totalSteps = 0, sketched = 0;
  const auto first = [&] {
    if (times.First < 0)
      times.First = Since(start);
  };
  zembrio::TEnvelopeWatch watch;
  watch.Opened = [&](const zembrio::TEnvelopeShape& shape) {
    times.Opened = Since(start);
    totalSteps = (shape.TotalSamples + shape.StepSamples - 1) / shape.StepSamples;
  };
  if (!plain) {
    watch.Sketch = [&](int64_t, const zembrio::TEnvelope& stretch) {
      first();
      sketched += stretch.Count();
      if (sketched >= totalSteps)
        times.Sketched = Since(start);
    };
    watch.Stretch = [&](int64_t, const zembrio::TEnvelope&) { first(); };
  }
  zembrio::ComputeEnvelope(path, zembrio::kDefaultEnvelopeStepMs, nullptr, watch);
  times.Measured = Since(start);
  return times;
}

TTimes RunOneThread(const std::string& path) {
  TTimes times;
  const TClock::time_point start = TClock::now();
  std::unique_ptr<zembrio::TSoundDecoder> decoder = zembrio::OpenSoundDecoder(path);
  times.Opened = Since(start);
  const zembrio::TPcmFormat format = decoder->Format();
  zembrio::TEnvelope envelope(format.SampleRate, format.SampleRate / 100);
  zembrio::TLevelMeter meter(envelope, format.Channels);
  zembrio::TPcmBlock block;
  while (decoder->Next(block)) {
    meter.Add(block.Data, block.Frames);
    if (times.First < 0 && envelope.Count() >= 2000)
      times.First = Since(start);
  }
  meter.Finish();
  times.Measured = Since(start);
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  bool plain = false, oneThread = false;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--plain")
      plain = true;
    else if (arg == "--one-thread")
      oneThread = true;
    else
      path = arg;
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: zembrio_bench_strip [--plain | --one-thread] FILE\n");
    return 2;
  }
  try {
    const std::clock_t cpuStart = std::clock();
    const TTimes times = oneThread ? RunOneThread(path) : Run(path, plain);
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("%.4f %.4f %.4f %.4f %.4f\n", times.Opened, times.First, times.Sketched,
                times.Measured, cpu);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "zembrio_bench_strip: %s\n", error.what());
    return 1;
  }
  return 0;
}
