// The level envelope of a source: per step of time (10 ms by default) the peak and the RMS
// level over all channels, in dBFS. Each level is kept in one byte (half-decibel steps down
// to kFloorDb), so a 10-hour source at 10 ms steps takes about 7 MiB.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zembrio {

constexpr int32_t kDefaultEnvelopeStepMs = 10;

struct TLevel {
  double PeakDb = 0;
  double RmsDb = 0;
};

class TEnvelope {
 public:
  // Levels at or below this read as it; digital silence too.
  static constexpr double kFloorDb = -120.0;

  TEnvelope() = default;
  TEnvelope(int32_t sampleRate, int32_t stepSamples);

  int32_t SampleRate() const { return sampleRate_; }
  int32_t StepSamples() const { return stepSamples_; }
  // Steps held; the last one may cover fewer samples than StepSamples.
  int64_t Count() const { return static_cast<int64_t>(peak_.size()); }
  // Sample frames of the source covered by the envelope.
  int64_t TotalSamples() const { return totalSamples_; }
  int64_t StepStart(int64_t index) const { return index * stepSamples_; }
  // The step that holds sample position.
  int64_t StepAt(int64_t position) const { return position / stepSamples_; }

  TLevel At(int64_t index) const;
  // The loudest peak and the loudest RMS over the steps first..last-1 (clipped to the
  // envelope); kFloorDb for an empty range. For drawing many steps in one pixel.
  TLevel MaxOver(int64_t first, int64_t last) const;

  // Adds one step: its largest absolute sample and the mean of its squared samples over
  // all channels, for samples sample frames.
  void Append(double peak, double meanSquare, int64_t samples);
  // Adds the steps of later, which continues this envelope (same rate and step).
  void Extend(const TEnvelope& later);

  // The byte that a level is kept in, and back; exposed for the code that scans levels.
  static uint8_t Encode(double db);
  static double Decode(uint8_t code) { return kFloorDb + code * 0.5; }
  const std::vector<uint8_t>& PeakCodes() const { return peak_; }
  const std::vector<uint8_t>& RmsCodes() const { return rms_; }

 private:
  int32_t sampleRate_ = 0;
  int32_t stepSamples_ = 0;
  int64_t totalSamples_ = 0;
  std::vector<uint8_t> peak_;
  std::vector<uint8_t> rms_;
};

// Shared between a worker thread that computes and the thread that shows it: the worker
// stores its progress, the other side asks it to stop. Both may be read at any time.
struct TSoundProgress {
  std::atomic<double> Fraction{0.0};
  std::atomic<bool> AbortRequested{false};
};

// Whether the showing side asked the work to stop (never, when nobody watches).
inline bool AbortAsked(const TSoundProgress* progress) {
  return progress != nullptr && progress->AbortRequested.load(std::memory_order_relaxed);
}

enum class TSoundStatus { Finished, Aborted };

struct TEnvelopeResult {
  TEnvelope Envelope;  // what was computed up to the abort, when aborted
  TSoundStatus Status = TSoundStatus::Finished;
};

// Receives each stretch of an envelope as soon as it is complete, so that a coarse view can
// be drawn before the end: first is the index of the stretch's first step in the whole
// envelope. Called on the threads that compute, never two calls at once, in no set order
// (stretches finish side by side); the stretch is valid during the call only.
using TEnvelopeStretchSink = std::function<void(int64_t first, const TEnvelope& stretch)>;

// What is known of an envelope once its source is open, before any level.
struct TEnvelopeShape {
  int32_t SampleRate = 0;
  int32_t StepSamples = 0;
  int64_t TotalSamples = 0;  // the source's length in sample frames, as the cut counts it
};

// Hears of an envelope while it is computed, for a view that grows as the levels come; any
// member may be empty. Calls come from the threads that compute, never two at once.
struct TEnvelopeWatch {
  // Once, before any stretch.
  std::function<void(const TEnvelopeShape&)> Opened;
  // A quick sketch of a stretch of steps, measured from part of its sound only: near the
  // levels, not the levels. A step is sketched at most once, always before Stretch hands
  // over its levels, and only for sources long enough to be worth it.
  TEnvelopeStretchSink Sketch;
  // A stretch of the envelope's own levels.
  TEnvelopeStretchSink Stretch;
};

// Decodes path and computes its envelope; may run on any thread. progress and partial may
// be empty. MPEG sources are decoded in stretches of some seconds by one thread per
// processor; other sources hand their stretches over in order, every few seconds of sound.
// Throws std::system_error and TSoundError as OpenSoundDecoder does.
TEnvelopeResult ComputeEnvelope(const std::string& path, int32_t stepMs, TSoundProgress* progress,
                                const TEnvelopeWatch& watch);
TEnvelopeResult ComputeEnvelope(const std::string& path, int32_t stepMs = kDefaultEnvelopeStepMs,
                                TSoundProgress* progress = nullptr,
                                const TEnvelopeStretchSink& partial = {});

}  // namespace zembrio
