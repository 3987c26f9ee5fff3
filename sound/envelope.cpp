#include "sound/envelope.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <future>
#include <memory>
#include <numeric>

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

// A frame index near the middle at which the second half's first step begins exactly.
int64_t AlignedMiddle(const TFrameMap& map, int32_t stepSamples) {
  const int64_t perFrame = map.SamplesPerFrame;
  const int64_t unit = stepSamples / std::gcd<int64_t>(stepSamples, perFrame);
  return map.FrameCount / 2 / unit * unit;
}

TEnvelopeResult MeasureMpeg(const std::string& path, int32_t stepMs, TSoundProgress* progress) {
  auto map = std::make_shared<const TFrameMap>(MapFrames(path, std::nullopt, progress));
  const int32_t step = StepSamplesOf(map->SampleRate, stepMs);
  TEnvelopeResult result{TEnvelope(map->SampleRate, step), TSoundStatus::Finished};
  // Short sources are decoded in one go: a second thread would not pay for itself.
  constexpr int64_t kMinimumSplitFrames = 4000;
  const int64_t middle = map->FrameCount >= kMinimumSplitFrames ? AlignedMiddle(*map, step) : 0;
  std::atomic<double> doneFirst{0.0};
  std::atomic<double> doneSecond{0.0};
  const auto share = [&] {
    const double frames = static_cast<double>(map->FrameCount);
    return (doneFirst.load() * middle + doneSecond.load() * (frames - middle)) / frames;
  };
  std::future<std::unique_ptr<TEnvelope>> second;
  if (middle > 0) {
    second = std::async(std::launch::async, [&] {
      auto later = std::make_unique<TEnvelope>(map->SampleRate, step);
      TMpegDecoder decoder(path, map, middle, map->FrameCount);
      Measure(decoder, *later, progress, doneSecond, nullptr);
      return later;
    });
  }
  TMpegDecoder decoder(path, map, 0, middle > 0 ? middle : map->FrameCount);
  const auto publish = [&] {
    if (progress != nullptr) {
      progress->Fraction.store(middle > 0 ? share() : doneFirst.load());
    }
  };
  const bool complete = Measure(decoder, result.Envelope, progress, doneFirst, publish);
  if (second.valid()) {
    while (second.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
      if (progress != nullptr) {
        progress->Fraction.store(share());
      }
    }
    auto later = second.get();
    if (complete && !AbortAsked(progress)) {
      result.Envelope.Extend(*later);
    }
  }
  if (!complete || AbortAsked(progress)) {
    result.Status = TSoundStatus::Aborted;
  } else if (progress != nullptr) {
    progress->Fraction.store(1.0);
  }
  return result;
}

}  // namespace

TEnvelopeResult ComputeEnvelope(const std::string& path, int32_t stepMs, TSoundProgress* progress) {
  if (IsMpegSource(path)) {
    return MeasureMpeg(path, stepMs, progress);
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
  }
  if (progress != nullptr && result.Status == TSoundStatus::Finished) {
    progress->Fraction.store(1.0);
  }
  return result;
}

}  // namespace zembrio
