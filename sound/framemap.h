// A quick first walk over an MPEG source, without decoding: how many frames it holds, where
// every kStride-th frame starts (so that a decoder can begin anywhere), and, when asked,
// which frames may be quiet by the global gain of their Layer III side information.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mpeg/frameheader.h"
#include "sound/envelope.h"

namespace zembrio {

struct TFrameMap {
  static constexpr int64_t kStride = 256;

  int32_t SampleRate = 0;
  int32_t SamplesPerFrame = 0;
  int32_t LayerCode = 0;
  int64_t FrameCount = 0;
  std::vector<int64_t> Offsets;  // byte offset of frame i * kStride
  // One entry per frame when quietness was asked for: 1 when the frame may be quiet.
  std::vector<uint8_t> MaybeQuiet;

  int64_t TotalSamples() const { return FrameCount * SamplesPerFrame; }
};

// The largest global gain over the granules and channels of a Layer III frame that carry
// any coded data, -1 when none does (the frame is digital silence), or nullopt when the
// side information cannot be read (another layer, a frame too short).
std::optional<int32_t> MaxGlobalGain(const FrameHeader& header, const uint8_t* headerBytes,
                                     const uint8_t* data, size_t dataLength);

// The highest global gain a frame of level thresholdDb may carry, with a wide margin: the
// gain sets the quantizer step, and a quiet frame needs a fine step.
int32_t QuietGainBound(double thresholdDb);

// Walks path with the SKIPVBRHEADER setting. With quietBound, MaybeQuiet is filled: a frame
// may be quiet when it is not Layer III, when its side information cannot be read, or when
// its largest global gain is at most the bound. Throws std::system_error when the file
// cannot be opened and TSoundError when it holds no MPEG audio frame. Stops early (fewer
// frames) when progress asks for an abort.
TFrameMap MapFrames(const std::string& path, std::optional<int32_t> quietBound,
                    TSoundProgress* progress);

// MapFrames without quietness, walked once per file: a map made before for the same file,
// unchanged since (its size and modification time) and walked with the same SKIPVBRHEADER,
// is handed out again. The window's waveform and its player read the same source one after
// the other, and playback then starts without walking a long recording anew. Safe to call
// from several threads: one that asks for a file being walked waits for that walk. A walk
// stopped by progress is not kept.
std::shared_ptr<const TFrameMap> SharedFrameMap(const std::string& path, TSoundProgress* progress);

}  // namespace zembrio
