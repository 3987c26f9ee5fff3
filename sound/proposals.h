// Proposed cut points: from detected pauses, every T, or N equal parts, made into a cut list
// whose fragments are named by the file-name mask ("%N" numbering: "01", "02", ...).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/timevalue.h"
#include "cutlist/cutpoint.h"
#include "sound/pauses.h"

namespace zembrio {

// A sample position as a time value in milliseconds, truncated.
TTimeValue TimeOfSample(int64_t position, int32_t sampleRate);

// Starts of the tracks after the first: every `every` from 0 on, the last track ending
// with the source; none when every is zero.
std::vector<int64_t> SplitEvery(int64_t totalSamples, int64_t everySamples);
// Starts of parts 2..n of n equal parts (n - 1 positions); none when n < 2.
std::vector<int64_t> SplitParts(int64_t totalSamples, int32_t parts);
std::vector<int64_t> CutSamples(const std::vector<TPause>& pauses);

// A cut list starting at 0 s, one cut point per start after it, every fragment named by
// the MASK setting with its number ("%N"); the other fields of the mask read empty.
// The name the MASK setting gives fragment number (1 for the first) when nothing else is
// known of it.
std::string ProposedName(int number);
void FillProposedCutList(TCPList& list, const std::vector<int64_t>& starts, int32_t sampleRate);

// The length of a source in samples and its sample rate, as the cut counts them.
struct TSourceLength {
  int32_t SampleRate = 0;
  int64_t TotalSamples = 0;
};
// Throws std::system_error and TSoundError as OpenSoundDecoder does; MPEG sources are
// walked, not decoded.
TSourceLength MeasureSource(const std::string& path);

}  // namespace zembrio
