// Pause detection: stretches at least MinLengthMs long whose RMS level stays below
// ThresholdDb, one cut point per pause at a chosen share of it, and no track shorter than
// MinTrackMs. A pause that touches the start or the end of the source splits nothing and
// gives no cut point.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sound/envelope.h"

namespace zembrio {

struct TPauseOptions {
  double ThresholdDb = -48.0;  // SILENCEDB
  int32_t MinLengthMs = 1000;  // SILENCEMIN
  double Position = 0.5;       // SILENCEPOS: 0 start of the pause, 1 its end
  int32_t MinTrackMs = 10000;  // TRACKMIN: shorter tracks are not split off
};

// The options that the settings record holds.
TPauseOptions PauseOptionsFromSettings();

struct TPause {
  int64_t StartSample = 0;
  int64_t EndSample = 0;
  int64_t CutSample = 0;  // where the next track starts
};

// The pauses of an envelope, in order, after the minimum track length was applied.
std::vector<TPause> FindPauses(const TEnvelope& envelope, const TPauseOptions& options);

struct TPauseResult {
  std::vector<TPause> Pauses;
  int32_t SampleRate = 0;
  int64_t TotalSamples = 0;
  TSoundStatus Status = TSoundStatus::Finished;
};

// Finds the pauses of path; may run on any thread, progress may be null. For Layer III
// sources only the frames that may be quiet (by the global gain of their side information)
// are decoded. Throws std::system_error and TSoundError as OpenSoundDecoder does.
TPauseResult DetectPauses(const std::string& path, const TPauseOptions& options,
                          TSoundProgress* progress = nullptr);

}  // namespace zembrio
