#include "sound/proposals.h"

#include <algorithm>

#include "core/settings.h"
#include "core/textutil.h"
#include "import/namemask.h"
#include "sound/decoder.h"
#include "sound/framemap.h"

namespace zembrio {

TTimeValue TimeOfSample(int64_t position, int32_t sampleRate) {
  TTimeValue value;
  if (sampleRate <= 0 || position < 0) {
    return value;
  }
  const int64_t seconds = position / sampleRate;
  const int64_t ms = position % sampleRate * 1000 / sampleRate;
  SetMilliseconds(value, static_cast<int32_t>(std::min<int64_t>(seconds, INT32_MAX)),
                  static_cast<int32_t>(ms));
  return value;
}

std::vector<int64_t> SplitEvery(int64_t totalSamples, int64_t everySamples) {
  std::vector<int64_t> starts;
  if (everySamples <= 0) {
    return starts;
  }
  for (int64_t at = everySamples; at < totalSamples; at += everySamples) {
    starts.push_back(at);
  }
  return starts;
}

std::vector<int64_t> SplitParts(int64_t totalSamples, int32_t parts) {
  std::vector<int64_t> starts;
  for (int32_t k = 1; k < parts && totalSamples > 0; ++k) {
    // 128-bit free: a 10-hour source at 48 kHz times a few thousand parts stays in 63 bits.
    starts.push_back(totalSamples * k / parts);
  }
  return starts;
}

std::vector<int64_t> CutSamples(const std::vector<TPause>& pauses) {
  std::vector<int64_t> starts;
  starts.reserve(pauses.size());
  for (const TPause& pause : pauses) {
    starts.push_back(pause.CutSample);
  }
  return starts;
}

std::string ProposedName(int number) {
  TTrackFields fields;
  fields.Number = TrackNumberText(number);
  // The title and disc fields are empty: what they leave around the number goes.
  return ImportedName(Trim(ExpandNameMask(Settings().MASK, TMaskOrder::Cue, fields)));
}

void FillProposedCutList(TCPList& list, const std::vector<int64_t>& starts, int32_t sampleRate) {
  list.Clear();
  const auto name = ProposedName;
  TCutPoint& zero = list.Add();
  zero.Name = name(1);
  int number = 1;
  for (const int64_t start : starts) {
    TCutPoint& point = list.Add();
    AssignTime(point, TimeOfSample(start, sampleRate));
    point.Name = name(++number);
  }
}

TSourceLength MeasureSource(const std::string& path) {
  if (!IsMpegSource(path)) {
    const auto decoder = OpenSoundDecoder(path);
    return {decoder->Format().SampleRate, decoder->TotalSamples()};
  }
  const TFrameMap map = MapFrames(path, std::nullopt, nullptr);
  return {map.SampleRate, map.TotalSamples()};
}

}  // namespace zembrio
