#include "sound/envelope.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

#include "sound/decoder.h"
#include "sound/framemap.h"
#include "sound/levelmeter.h"
#include "sound/mpegdecoder.h"

namespace zembrio {

// ---- TEnvelope ----

TEnvelope::TEnvelope(int32_t sampleRate, int32_t stepSamples)
    : sampleRate_(sampleRate), stepSamples_(std::max<int32_t>(1, stepSamples)) {}

uint8_t TEnvelope::Encode(double db) {
  if (!(db > kFloorDb)) {  // NaN and minus infinity too
    return 0;
  }
  return static_cast<uint8_t>(std::lround(std::min(db, 0.0) * 2.0 - kFloorDb * 2.0));
}

TLevel TEnvelope::At(int64_t index) const {
  const auto i = static_cast<size_t>(index);
  return {Decode(peak_[i]), Decode(rms_[i])};
}

TLevel TEnvelope::MaxOver(int64_t first, int64_t last) const {
  first = std::clamp<int64_t>(first, 0, Count());
  last = std::clamp<int64_t>(last, first, Count());
  if (first == last) {
    return {kFloorDb, kFloorDb};
  }
  const auto peak = std::max_element(peak_.begin() + first, peak_.begin() + last);
  const auto rms = std::max_element(rms_.begin() + first, rms_.begin() + last);
  return {Decode(*peak), Decode(*rms)};
}

void TEnvelope::Append(double peak, double meanSquare, int64_t samples) {
  peak_.push_back(Encode(20.0 * std::log10(peak)));
  rms_.push_back(Encode(10.0 * std::log10(meanSquare)));
  totalSamples_ += samples;
}

void TEnvelope::Extend(const TEnvelope& later) {
  peak_.insert(peak_.end(), later.peak_.begin(), later.peak_.end());
  rms_.insert(rms_.end(), later.rms_.begin(), later.rms_.end());
  totalSamples_ += later.totalSamples_;
}

// ---- TLevelMeter ----

namespace {

struct TPartialLevel {
  float Peak = 0;
  float SumSquares = 0;
};

// Four independent lanes, so that the compiler keeps them in vector registers; a step
// holds at most a few thousand samples, well within a float's precision for the sum.
TPartialLevel MeasureSamples(const float* samples, size_t count) {
  float peak[4] = {0, 0, 0, 0};
  float sum[4] = {0, 0, 0, 0};
  size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    for (int lane = 0; lane < 4; ++lane) {
      const float v = samples[i + lane];
      peak[lane] = std::max(peak[lane], std::fabs(v));
      sum[lane] += v * v;
    }
  }
  for (; i < count; ++i) {
    peak[0] = std::max(peak[0], std::fabs(samples[i]));
    sum[0] += samples[i] * samples[i];
  }
  return {std::max(std::max(peak[0], peak[1]), std::max(peak[2], peak[3])),
          (sum[0] + sum[1]) + (sum[2] + sum[3])};
}

}  // namespace

void TLevelMeter::Add(const float* samples, int32_t frames) {
  const int64_t step = envelope_.StepSamples();
  while (frames > 0) {
    const auto take = static_cast<int32_t>(std::min<int64_t>(frames, step - filled_));
    const size_t count = static_cast<size_t>(take) * channels_;
    const TPartialLevel part = MeasureSamples(samples, count);
    peak_ = std::max(peak_, part.Peak);
    sumSquares_ += static_cast<double>(part.SumSquares) / channels_;
    filled_ += take;
    samples += count;
    frames -= take;
    if (filled_ == step) {
      CloseStep();
    }
  }
}

void TLevelMeter::AddLoud(int64_t frames) {
  const int64_t step = envelope_.StepSamples();
  while (frames > 0) {
    const int64_t take = std::min<int64_t>(frames, step - filled_);
    peak_ = 1.0f;
    sumSquares_ += static_cast<double>(take);
    filled_ += take;
    frames -= take;
    if (filled_ == step) {
      CloseStep();
    }
  }
}

void TLevelMeter::Finish() {
  if (filled_ > 0) {
    CloseStep();
  }
}

void TLevelMeter::CloseStep() {
  envelope_.Append(peak_, sumSquares_ / static_cast<double>(filled_), filled_);
  filled_ = 0;
  peak_ = 0;
  sumSquares_ = 0;
}

// ---- ComputeEnvelope ----

namespace {

bool AbortAsked(const TSoundProgress* progress) {
  return progress != nullptr && progress->AbortRequested.load(std::memory_order_relaxed);
}

// Decodes everything decoder gives into envelope; false when aborted. done receives the
// share of the work done, for the progress shown.
bool Measure(TSoundDecoder& decoder, TEnvelope& envelope, const TSoundProgress* abort,
             std::atomic<double>& done, const std::function<void()>& publish) {
  TLevelMeter meter(envelope, decoder.Format().Channels);
  TPcmBlock block;
  while (decoder.Next(block)) {
    meter.Add(block.Data, block.Frames);
    done.store(decoder.Progress(), std::memory_order_relaxed);
    if (publish) {
      publish();
    }
    if (AbortAsked(abort)) {
      meter.Finish();
      return false;
    }
  }
  meter.Finish();
  return true;
}

int32_t StepSamplesOf(int32_t sampleRate, int32_t stepMs) {
  return std::max<int32_t>(1, static_cast<int32_t>(int64_t{sampleRate} * stepMs / 1000));
}

// Stretches of frames whose first steps begin exactly on a frame: units of this many frames.
int64_t AlignedUnit(const TFrameMap& map, int32_t stepSamples) {
  const int64_t perFrame = map.SamplesPerFrame;
  return stepSamples / std::gcd<int64_t>(stepSamples, perFrame);
}

// The stretches of an MPEG envelope, decoded by as many threads as there are processors,
// each taking the next stretch not begun: a processor that another program keeps busy takes
// fewer, and the work stays shared to the end. Each stretch starts a decoder of its own a
// few frames early, so that its levels are those of one walk over the whole source.
class TStretchedEnvelope {
 public:
  // Frames of a stretch: about 25 seconds, far more than the few frames decoded before it.
  static constexpr int64_t kStretchFrames = 1024;
  static constexpr int64_t kMinimumSplitFrames = 4000;

  TStretchedEnvelope(const std::string& path, std::shared_ptr<const TFrameMap> map, int32_t step,
                     TSoundProgress* progress, const TEnvelopeStretchSink& partial)
      : path_(path), map_(std::move(map)), step_(step), progress_(progress), partial_(partial) {
    const int64_t frames = map_->FrameCount;
    const int64_t unit = AlignedUnit(*map_, step_);
    // Short sources are decoded in one go: a second thread would not pay for itself.
    const int64_t length = frames >= kMinimumSplitFrames
                               ? std::max<int64_t>(unit, kStretchFrames / unit * unit)
                               : std::max<int64_t>(frames, 1);
    for (int64_t first = 0; first < frames || first == 0; first += length)
      stretches_.push_back(
          {first, std::min(first + length, frames), TEnvelope(map_->SampleRate, step_)});
  }

  TSoundStatus Run(TEnvelope& into) {
    const auto threads =
        static_cast<size_t>(std::clamp<unsigned>(std::thread::hardware_concurrency(), 1, 16));
    std::vector<std::future<void>> workers;
    for (size_t i = 1; i < std::min(threads, stretches_.size()); ++i)
      workers.push_back(std::async(std::launch::async, [this] { Work(); }));
    Work();
    for (auto& worker : workers)
      worker.get();  // a worker's exception comes out here
    if (AbortAsked(progress_))
      return TSoundStatus::Aborted;
    for (const TStretch& stretch : stretches_)
      into.Extend(stretch.Levels);
    return TSoundStatus::Finished;
  }

 private:
  struct TStretch {
    int64_t First = 0;
    int64_t Last = 0;
    TEnvelope Levels;
  };

  void Work() {
    std::unique_ptr<TMpegDecoder> decoder;  // opened once, moved from stretch to stretch
    for (;;) {
      const size_t index = next_.fetch_add(1);
      if (index >= stretches_.size() || AbortAsked(progress_))
        return;
      TStretch& stretch = stretches_[index];
      if (decoder) {
        decoder->Select(stretch.First, stretch.Last);
      } else {
        decoder = std::make_unique<TMpegDecoder>(path_, map_, stretch.First, stretch.Last);
      }
      TLevelMeter meter(stretch.Levels, decoder->Format().Channels);
      TPcmBlock block;
      while (decoder->Next(block)) {
        meter.Add(block.Data, block.Frames);
        Advance(block.Frames);
        if (AbortAsked(progress_))
          return;
      }
      meter.Finish();
      if (partial_) {
        std::lock_guard lock(partialMutex_);
        partial_(stretch.First * map_->SamplesPerFrame / step_, stretch.Levels);
      }
    }
  }

  void Advance(int64_t samples) {
    const int64_t done = samplesDone_.fetch_add(samples) + samples;
    if (progress_ != nullptr) {
      const double total = static_cast<double>(map_->TotalSamples());
      progress_->Fraction.store(std::min(0.999, static_cast<double>(done) / std::max(total, 1.0)),
                                std::memory_order_relaxed);
    }
  }

  const std::string& path_;
  std::shared_ptr<const TFrameMap> map_;
  const int32_t step_;
  TSoundProgress* progress_;
  const TEnvelopeStretchSink& partial_;
  std::vector<TStretch> stretches_;
  std::atomic<size_t> next_{0};
  std::atomic<int64_t> samplesDone_{0};
  std::mutex partialMutex_;
};

TEnvelopeResult MeasureMpeg(const std::string& path, int32_t stepMs, TSoundProgress* progress,
                            const TEnvelopeStretchSink& partial) {
  auto map = std::make_shared<const TFrameMap>(MapFrames(path, std::nullopt, progress));
  const int32_t step = StepSamplesOf(map->SampleRate, stepMs);
  TEnvelopeResult result{TEnvelope(map->SampleRate, step), TSoundStatus::Finished};
  if (AbortAsked(progress)) {
    result.Status = TSoundStatus::Aborted;
    return result;
  }
  TStretchedEnvelope stretches(path, map, step, progress, partial);
  result.Status = stretches.Run(result.Envelope);
  if (result.Status == TSoundStatus::Finished && progress != nullptr)
    progress->Fraction.store(1.0);
  return result;
}

}  // namespace

TEnvelopeResult ComputeEnvelope(const std::string& path, int32_t stepMs, TSoundProgress* progress,
                                const TEnvelopeStretchSink& partial) {
  if (IsMpegSource(path)) {
    return MeasureMpeg(path, stepMs, progress, partial);
  }
  auto decoder = OpenSoundDecoder(path);
  const TPcmFormat format = decoder->Format();
  TEnvelopeResult result{TEnvelope(format.SampleRate, StepSamplesOf(format.SampleRate, stepMs)),
                         TSoundStatus::Finished};
  std::atomic<double> done{0.0};
  const auto publish = [&] {
    if (progress != nullptr) {
      progress->Fraction.store(done.load());
    }
  };
  if (!Measure(*decoder, result.Envelope, progress, done, publish)) {
    result.Status = TSoundStatus::Aborted;
  } else if (partial) {
    partial(0, result.Envelope);
  }
  if (progress != nullptr && result.Status == TSoundStatus::Finished) {
    progress->Fraction.store(1.0);
  }
  return result;
}

}  // namespace zembrio
