// Decoding, the level envelope and pause detection over any file: the first byte chooses
// MPEG or Ogg Vorbis and the envelope's step, the rest is the file. Nothing may crash or
// hang; the envelope must cover the decoded samples step by step and every pause must lie
// inside the source with its cut point inside it.
#include <system_error>

#include "fuzzinput.h"
#include "sound/decoder.h"
#include "sound/envelope.h"
#include "sound/pauses.h"

using namespace zembrio;

namespace {

void CheckEnvelope(const TEnvelope& envelope) {
  const int64_t step = envelope.StepSamples();
  fuzz::Check(step > 0, "step");
  fuzz::Check(envelope.Count() == (envelope.TotalSamples() + step - 1) / step, "step count");
  for (int64_t i = 0; i < envelope.Count(); ++i) {
    const TLevel level = envelope.At(i);
    fuzz::Check(level.PeakDb <= 0 && level.PeakDb >= TEnvelope::kFloorDb, "peak range");
    fuzz::Check(level.RmsDb <= 0 && level.RmsDb >= TEnvelope::kFloorDb, "rms range");
  }
}

void CheckPauses(const TPauseResult& result, const TPauseOptions& options) {
  int64_t previous = 0;
  for (const TPause& pause : result.Pauses) {
    fuzz::Check(pause.StartSample > 0 && pause.EndSample < result.TotalSamples, "inside");
    fuzz::Check(pause.StartSample < pause.EndSample, "pause length");
    fuzz::Check(pause.CutSample >= pause.StartSample && pause.CutSample <= pause.EndSample,
                "cut inside its pause");
    fuzz::Check(
        pause.CutSample - previous >= int64_t{options.MinTrackMs} * result.SampleRate / 1000,
        "least track length");
    previous = pause.CutSample;
  }
}

void DecodeAll(const std::string& path) {
  const auto decoder = OpenSoundDecoder(path);
  TPcmBlock block;
  int64_t expected = -1;
  while (decoder->Next(block)) {
    fuzz::Check(block.Frames > 0 && block.Data != nullptr, "block");
    fuzz::Check(expected < 0 || block.StartSample == expected, "blocks follow each other");
    expected = block.StartSample + block.Frames;
    const double progress = decoder->Progress();
    fuzz::Check(progress >= 0.0 && progress <= 1.0, "progress range");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  const bool ogg = (data[0] & 1) != 0;
  const int32_t stepMs = 1 + (data[0] >> 1) % 50;
  const std::string path = fuzz::Scratch().File(ogg ? "sound.ogg" : "sound.mp3");
  fuzz::WriteBytes(path, data + 1, size - 1);
  TPauseOptions options;
  options.MinLengthMs = 10 * stepMs;
  options.MinTrackMs = (data[0] & 0x80) != 0 ? 0 : 100;
  try {
    DecodeAll(path);
    CheckEnvelope(ComputeEnvelope(path, stepMs).Envelope);
    CheckPauses(DetectPauses(path, options), options);
  } catch (const TSoundError&) {
    // No decodable audio: an expected outcome.
  }
  return 0;
}
