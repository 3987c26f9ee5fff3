#include "sound/pauses.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <numeric>

#include "core/settings.h"
#include "sound/decoder.h"
#include "sound/framemap.h"
#include "sound/levelmeter.h"
#include "sound/mpegdecoder.h"

namespace zembrio {

TPauseOptions PauseOptionsFromSettings() {
  const TSettings& s = Settings();
  TPauseOptions options;
  options.ThresholdDb = s.SILENCEDB;
  options.MinLengthMs = std::max<int32_t>(0, s.SILENCEMIN);
  options.Position = std::clamp(s.SILENCEPOS, 0, 100) / 100.0;
  options.MinTrackMs = std::max<int32_t>(0, s.TRACKMIN);
  return options;
}

namespace {

int64_t MsToSamples(int64_t ms, int32_t rate) {
  return ms * rate / 1000;
}

// Every stretch of steps below the threshold that is long enough and lies between sound.
std::vector<TPause> QuietStretches(const TEnvelope& envelope, const TPauseOptions& options) {
  std::vector<TPause> found;
  const int64_t minLength = MsToSamples(options.MinLengthMs, envelope.SampleRate());
  const double share = std::clamp(options.Position, 0.0, 1.0);
  const auto& rms = envelope.RmsCodes();
  const auto count = static_cast<int64_t>(rms.size());
  int64_t i = 0;
  while (i < count) {
    if (!(TEnvelope::Decode(rms[i]) < options.ThresholdDb)) {
      ++i;
      continue;
    }
    const int64_t first = i;
    while (i < count && TEnvelope::Decode(rms[i]) < options.ThresholdDb) {
      ++i;
    }
    if (first == 0 || i == count) {
      continue;  // silence before the first sound or after the last splits nothing
    }
    TPause pause;
    pause.StartSample = envelope.StepStart(first);
    pause.EndSample = std::min(envelope.StepStart(i), envelope.TotalSamples());
    const int64_t length = pause.EndSample - pause.StartSample;
    if (length < std::max<int64_t>(minLength, 1)) {
      continue;
    }
    pause.CutSample = pause.StartSample + static_cast<int64_t>(static_cast<double>(length) * share);
    found.push_back(pause);
  }
  return found;
}

}  // namespace

std::vector<TPause> FindPauses(const TEnvelope& envelope, const TPauseOptions& options) {
  const int64_t minTrack = MsToSamples(options.MinTrackMs, envelope.SampleRate());
  std::vector<TPause> kept;
  for (const TPause& pause : QuietStretches(envelope, options)) {
    const int64_t previous = kept.empty() ? 0 : kept.back().CutSample;
    if (pause.CutSample - previous >= minTrack) {
      kept.push_back(pause);
      continue;
    }
    // Two pauses too close together: the longer one is the likelier track boundary.
    const int64_t beforeLast = kept.size() < 2 ? 0 : kept[kept.size() - 2].CutSample;
    if (!kept.empty() && pause.CutSample - beforeLast >= minTrack &&
        pause.EndSample - pause.StartSample > kept.back().EndSample - kept.back().StartSample) {
      kept.back() = pause;
    }
  }
  while (!kept.empty() && envelope.TotalSamples() - kept.back().CutSample < minTrack) {
    kept.pop_back();
  }
  return kept;
}

namespace {

struct TFrameRun {
  int64_t First = 0;
  int64_t Last = 0;  // one past
};

// The frames that must be decoded: runs of frames that may be quiet, long enough to hold a
// pause, widened by two frames each side so that the pause's edges are measured: the
// decoder's delay moves sound about half a frame later than the frame that carries it.
std::vector<TFrameRun> RunsToDecode(const TFrameMap& map, const TPauseOptions& options) {
  constexpr int64_t kWiden = 2;
  const int64_t minFrames = std::max<int64_t>(
      1, MsToSamples(options.MinLengthMs, map.SampleRate) / map.SamplesPerFrame - 1);
  std::vector<TFrameRun> runs;
  const auto& quiet = map.MaybeQuiet;
  const auto count = static_cast<int64_t>(quiet.size());
  for (int64_t i = 0; i < count;) {
    if (quiet[i] == 0) {
      ++i;
      continue;
    }
    const int64_t first = i;
    while (i < count && quiet[i] != 0) {
      ++i;
    }
    if (i - first >= minFrames) {
      TFrameRun run{std::max<int64_t>(0, first - kWiden), std::min(count, i + kWiden)};
      if (!runs.empty() && run.First <= runs.back().Last) {
        runs.back().Last = run.Last;
      } else {
        runs.push_back(run);
      }
    }
  }
  return runs;
}

// The envelope of frames from..to-1: the runs decoded, everything else read as loud.
// false when aborted.
bool MeasureRuns(const std::string& path, const std::shared_ptr<const TFrameMap>& map,
                 const std::vector<TFrameRun>& runs, int64_t from, int64_t to, TEnvelope& envelope,
                 const TSoundProgress* abort, std::atomic<int64_t>& done) {
  TLevelMeter meter(envelope, 2);
  std::unique_ptr<TMpegDecoder> decoder;
  const int64_t perFrame = map->SamplesPerFrame;
  int64_t at = from;
  for (const TFrameRun& run : runs) {
    const int64_t first = std::max(run.First, from);
    const int64_t last = std::min(run.Last, to);
    if (first >= last) {
      continue;
    }
    meter.AddLoud((first - at) * perFrame);
    if (!decoder) {
      decoder = std::make_unique<TMpegDecoder>(path, map, first, last);
    } else {
      decoder->Select(first, last);
    }
    TPcmBlock block;
    while (decoder->Next(block)) {
      meter.Add(block.Data, block.Frames);
      done.fetch_add(block.Frames / perFrame, std::memory_order_relaxed);
      if (AbortAsked(abort)) {
        return false;
      }
    }
    at = last;
  }
  meter.AddLoud((to - at) * perFrame);
  meter.Finish();
  return true;
}

int64_t DecodedFrames(const std::vector<TFrameRun>& runs) {
  return std::accumulate(
      runs.begin(), runs.end(), int64_t{0},
      [](int64_t sum, const TFrameRun& run) { return sum + run.Last - run.First; });
}

// The frame at which half of the frames to decode lie before, moved down so that the
// second half's envelope begins on a step.
int64_t BalancedMiddle(const std::vector<TFrameRun>& runs, int64_t half, int64_t unit) {
  int64_t sum = 0;
  for (const TFrameRun& run : runs) {
    if (sum + run.Last - run.First >= half) {
      return (run.First + half - sum) / unit * unit;
    }
    sum += run.Last - run.First;
  }
  return 0;
}

TPauseResult DetectMpegPauses(const std::string& path, const TPauseOptions& options,
                              TSoundProgress* progress) {
  auto map = std::make_shared<const TFrameMap>(
      MapFrames(path, QuietGainBound(options.ThresholdDb), progress));
  TPauseResult result;
  result.SampleRate = map->SampleRate;
  result.TotalSamples = map->TotalSamples();
  if (AbortAsked(progress)) {
    result.Status = TSoundStatus::Aborted;
    return result;
  }
  const int32_t step = std::max<int32_t>(1, map->SampleRate * kDefaultEnvelopeStepMs / 1000);
  const std::vector<TFrameRun> runs = RunsToDecode(*map, options);
  const int64_t total = DecodedFrames(runs);
  const int64_t unit = step / std::gcd<int64_t>(step, map->SamplesPerFrame);
  constexpr int64_t kMinimumSplitFrames = 2000;
  const int64_t middle = total >= kMinimumSplitFrames ? BalancedMiddle(runs, total / 2, unit) : 0;

  std::atomic<int64_t> done{0};
  TEnvelope envelope(map->SampleRate, step);
  std::future<std::pair<bool, std::unique_ptr<TEnvelope>>> second;
  if (middle > 0) {
    second = std::async(std::launch::async, [&] {
      auto later = std::make_unique<TEnvelope>(map->SampleRate, step);
      const bool ok = MeasureRuns(path, map, runs, middle, map->FrameCount, *later, progress, done);
      return std::make_pair(ok, std::move(later));
    });
  }
  bool complete = MeasureRuns(path, map, runs, 0, middle > 0 ? middle : map->FrameCount, envelope,
                              progress, done);
  if (second.valid()) {
    while (second.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
      if (progress != nullptr && total > 0) {
        progress->Fraction.store(static_cast<double>(done.load()) / total);
      }
    }
    auto [ok, later] = second.get();
    complete = complete && ok;
    envelope.Extend(*later);
  }
  if (!complete) {
    result.Status = TSoundStatus::Aborted;
    return result;
  }
  result.Pauses = FindPauses(envelope, options);
  if (progress != nullptr) {
    progress->Fraction.store(1.0);
  }
  return result;
}

}  // namespace

TPauseResult DetectPauses(const std::string& path, const TPauseOptions& options,
                          TSoundProgress* progress) {
  if (IsMpegSource(path)) {
    return DetectMpegPauses(path, options, progress);
  }
  TEnvelopeResult measured = ComputeEnvelope(path, kDefaultEnvelopeStepMs, progress);
  TPauseResult result;
  result.SampleRate = measured.Envelope.SampleRate();
  result.TotalSamples = measured.Envelope.TotalSamples();
  result.Status = measured.Status;
  if (result.Status == TSoundStatus::Finished) {
    result.Pauses = FindPauses(measured.Envelope, options);
  }
  return result;
}

}  // namespace zembrio
