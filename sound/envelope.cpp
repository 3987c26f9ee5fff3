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

int32_t StepSamplesOf(int32_t sampleRate, int32_t stepMs) {
  return std::max<int32_t>(1, static_cast<int32_t>(int64_t{sampleRate} * stepMs / 1000));
}

// Stretches of frames whose first steps begin exactly on a frame: units of this many frames.
int64_t AlignedUnit(const TFrameMap& map, int32_t stepSamples) {
  const int64_t perFrame = map.SamplesPerFrame;
  return stepSamples / std::gcd<int64_t>(stepSamples, perFrame);
}

// The level of one frame in every few, standing for the frames around it: a sketch of a
// stretch, at a small share of the cost of measuring it.
class TSketcher {
 public:
  // Frames a measured frame stands for: about a thousand cells over the source, so that
  // the whole strip is sketched in the time of a few hundred frames (each costs the frames
  // decoded before it too), and none shorter than a second.
  static constexpr int64_t kCellsPerSource = 1000;
  static constexpr int64_t kMinimumCellFrames = 40;

  TSketcher(const TFrameMap& map, int32_t step)
      : map_(map),
        step_(step),
        cellFrames_(std::max(kMinimumCellFrames, map.FrameCount / kCellsPerSource)) {}

  // The sketch of frames first..last-1, or false when aborted on the way.
  bool Sketch(TMpegDecoder& decoder, int64_t first, int64_t last, const TSoundProgress* abort,
              TEnvelope& into) const {
    const int64_t perFrame = map_.SamplesPerFrame;
    std::vector<TFrameLevel> cells;
    for (int64_t cell = first; cell < last; cell += cellFrames_) {
      const int64_t middle = cell + (std::min(last, cell + cellFrames_) - cell) / 2;
      cells.push_back(LevelOfFrame(decoder, middle));
      if (AbortAsked(abort))
        return false;
    }
    const int64_t samples = (last - first) * perFrame;
    for (int64_t at = 0; at < samples; at += step_) {
      const TFrameLevel& level = cells[static_cast<size_t>(at / perFrame / cellFrames_)];
      into.Append(level.Peak, level.MeanSquare, std::min<int64_t>(step_, samples - at));
    }
    return true;
  }

 private:
  struct TFrameLevel {
    float Peak = 0;
    double MeanSquare = 0;
  };

  static TFrameLevel LevelOfFrame(TMpegDecoder& decoder, int64_t frame) {
    decoder.Select(frame, frame + 1);
    TFrameLevel level;
    double sum = 0;
    int64_t count = 0;
    TPcmBlock block;
    while (decoder.Next(block)) {
      const size_t values = static_cast<size_t>(block.Frames) * decoder.Format().Channels;
      const TPartialLevel part = MeasureSamples(block.Data, values);
      level.Peak = std::max(level.Peak, part.Peak);
      sum += part.SumSquares;
      count += static_cast<int64_t>(values);
    }
    level.MeanSquare = sum / static_cast<double>(std::max<int64_t>(count, 1));
    return level;
  }

  const TFrameMap& map_;
  const int32_t step_;
  const int64_t cellFrames_;
};

// The stretches of an MPEG envelope, decoded by as many threads as there are processors,
// each taking the next stretch not begun: a processor that another program keeps busy takes
// fewer, and the work stays shared to the end. Each stretch starts a decoder of its own a
// few frames early, so that its levels are those of one walk over the whole source. When
// the watch asks for sketches, every stretch is sketched before the first is measured.
class TStretchedEnvelope {
 public:
  // Frames of a stretch: about 25 seconds, far more than the few frames decoded before it.
  static constexpr int64_t kStretchFrames = 1024;
  static constexpr int64_t kMinimumSplitFrames = 4000;

  TStretchedEnvelope(const std::string& path, std::shared_ptr<const TFrameMap> map, int32_t step,
                     TSoundProgress* progress, const TEnvelopeWatch& watch)
      : path_(path),
        map_(std::move(map)),
        step_(step),
        progress_(progress),
        watch_(watch),
        sketcher_(*map_, step) {
    const int64_t frames = map_->FrameCount;
    const int64_t unit = AlignedUnit(*map_, step_);
    // Short sources are decoded in one go: a second thread would not pay for itself.
    const int64_t length = frames >= kMinimumSplitFrames
                               ? std::max<int64_t>(unit, kStretchFrames / unit * unit)
                               : std::max<int64_t>(frames, 1);
    for (int64_t first = 0; first < frames || first == 0; first += length)
      stretches_.push_back(
          {first, std::min(first + length, frames), TEnvelope(map_->SampleRate, step_)});
    // A source of a stretch or two is measured about as soon as it would be sketched.
    sketches_ = watch_.Sketch && stretches_.size() > 2 ? stretches_.size() : 0;
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
    bool Measured = false;  // and handed over; guarded by watchMutex_
  };

  // Jobs 0..sketches_-1 sketch the stretches, the next ones measure them.
  void Work() {
    std::unique_ptr<TMpegDecoder> decoder;  // opened once, moved from stretch to stretch
    for (;;) {
      const size_t job = next_.fetch_add(1);
      if (job >= sketches_ + stretches_.size() || AbortAsked(progress_))
        return;
      if (!decoder)
        decoder = std::make_unique<TMpegDecoder>(path_, map_, 0, 0);
      const bool done = job < sketches_ ? SketchStretch(*decoder, stretches_[job])
                                        : MeasureStretch(*decoder, stretches_[job - sketches_]);
      if (!done)
        return;
    }
  }

  bool SketchStretch(TMpegDecoder& decoder, TStretch& stretch) {
    TEnvelope sketch(map_->SampleRate, step_);
    if (!sketcher_.Sketch(decoder, stretch.First, stretch.Last, progress_, sketch))
      return false;
    std::lock_guard lock(watchMutex_);
    // Another processor may have measured the stretch meanwhile: its levels stay.
    if (!stretch.Measured)
      watch_.Sketch(FirstStep(stretch), sketch);
    return true;
  }

  bool MeasureStretch(TMpegDecoder& decoder, TStretch& stretch) {
    decoder.Select(stretch.First, stretch.Last);
    TLevelMeter meter(stretch.Levels, decoder.Format().Channels);
    TPcmBlock block;
    while (decoder.Next(block)) {
      meter.Add(block.Data, block.Frames);
      Advance(block.Frames);
      if (AbortAsked(progress_))
        return false;
    }
    meter.Finish();
    std::lock_guard lock(watchMutex_);
    stretch.Measured = true;
    if (watch_.Stretch)
      watch_.Stretch(FirstStep(stretch), stretch.Levels);
    return true;
  }

  int64_t FirstStep(const TStretch& stretch) const {
    return stretch.First * map_->SamplesPerFrame / step_;
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
  const TEnvelopeWatch& watch_;
  const TSketcher sketcher_;
  std::vector<TStretch> stretches_;
  size_t sketches_ = 0;
  std::atomic<size_t> next_{0};
  std::atomic<int64_t> samplesDone_{0};
  std::mutex watchMutex_;  // the watch hears one call at a time
};

TEnvelopeResult MeasureMpeg(const std::string& path, int32_t stepMs, TSoundProgress* progress,
                            const TEnvelopeWatch& watch) {
  // The window's player walks the same source next: the map is shared with it.
  std::shared_ptr<const TFrameMap> map = SharedFrameMap(path, progress);
  const int32_t step = StepSamplesOf(map->SampleRate, stepMs);
  TEnvelopeResult result{TEnvelope(map->SampleRate, step), TSoundStatus::Finished};
  if (AbortAsked(progress)) {
    result.Status = TSoundStatus::Aborted;
    return result;
  }
  if (watch.Opened)
    watch.Opened({map->SampleRate, step, map->TotalSamples()});
  TStretchedEnvelope stretches(path, map, step, progress, watch);
  result.Status = stretches.Run(result.Envelope);
  return result;
}

// Other sources are measured in order by one thread; their steps are handed over every
// kStretchSteps, so that a view grows while they are decoded.
TEnvelopeResult MeasureInOrder(const std::string& path, int32_t stepMs, TSoundProgress* progress,
                               const TEnvelopeWatch& watch) {
  constexpr int64_t kStretchSteps = 2000;
  auto decoder = OpenSoundDecoder(path);
  const TPcmFormat format = decoder->Format();
  const int32_t step = StepSamplesOf(format.SampleRate, stepMs);
  TEnvelopeResult result{TEnvelope(format.SampleRate, step), TSoundStatus::Finished};
  if (watch.Opened)
    watch.Opened({format.SampleRate, step, decoder->TotalSamples()});
  // The meter fills stretch; a full stretch goes to the whole envelope and the watch, and
  // the meter goes on in the emptied stretch.
  TEnvelope stretch(format.SampleRate, step);
  int64_t first = 0;
  const auto handOver = [&] {
    result.Envelope.Extend(stretch);
    if (watch.Stretch && stretch.Count() > 0 && result.Status == TSoundStatus::Finished)
      watch.Stretch(first, stretch);
    first += stretch.Count();
    stretch = TEnvelope(format.SampleRate, step);
  };
  TLevelMeter meter(stretch, format.Channels);
  TPcmBlock block;
  while (decoder->Next(block)) {
    meter.Add(block.Data, block.Frames);
    if (progress != nullptr)
      progress->Fraction.store(decoder->Progress(), std::memory_order_relaxed);
    if (AbortAsked(progress)) {
      result.Status = TSoundStatus::Aborted;
      break;
    }
    if (stretch.Count() >= kStretchSteps)
      handOver();
  }
  meter.Finish();
  handOver();
  return result;
}

}  // namespace

TEnvelopeResult ComputeEnvelope(const std::string& path, int32_t stepMs, TSoundProgress* progress,
                                const TEnvelopeWatch& watch) {
  TEnvelopeResult result = IsMpegSource(path) ? MeasureMpeg(path, stepMs, progress, watch)
                                              : MeasureInOrder(path, stepMs, progress, watch);
  if (progress != nullptr && result.Status == TSoundStatus::Finished)
    progress->Fraction.store(1.0);
  return result;
}

TEnvelopeResult ComputeEnvelope(const std::string& path, int32_t stepMs, TSoundProgress* progress,
                                const TEnvelopeStretchSink& partial) {
  TEnvelopeWatch watch;
  watch.Stretch = partial;
  return ComputeEnvelope(path, stepMs, progress, watch);
}

}  // namespace zembrio
