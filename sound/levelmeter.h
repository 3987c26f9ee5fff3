// Turns a run of decoded samples into envelope steps: the peak and the mean square of each
// step over all channels. Samples arrive in order from the envelope's end on.
#pragma once

#include <cstdint>

#include "sound/envelope.h"

namespace zembrio {

class TLevelMeter {
 public:
  TLevelMeter(TEnvelope& envelope, int32_t channels) : envelope_(envelope), channels_(channels) {}

  void Add(const float* samples, int32_t frames);
  // frames samples known to be loud without decoding them: they read as full scale.
  void AddLoud(int64_t frames);
  // Closes the step begun last, shorter than the others.
  void Finish();

 private:
  void CloseStep();

  TEnvelope& envelope_;
  int32_t channels_;
  int64_t filled_ = 0;  // sample frames in the open step
  float peak_ = 0;
  double sumSquares_ = 0;
};

}  // namespace zembrio
