// Decoding of the 4-byte MPEG audio frame header (MPEG-1, MPEG-2, MPEG-2.5; layers I-III).
//
// Bit layout, b0..b3 in file order:
//   b0        sync bits 11..4        (must be 0xFF)
//   b1 7..5   sync bits 3..1         (must be 111)
//   b1 4..3   VersionId              0 = 2.5, 1 = reserved, 2 = MPEG-2, 3 = MPEG-1
//   b1 2..1   LayerCode              3 = I, 2 = II, 1 = III, 0 = reserved
//   b2 7..4   BitrateIndex           0 = free format (refused), 15 = bad
//   b2 3..2   SampleRateIndex        3 = reserved
//   b2 1      Padding
//   b3 7..6   ChannelMode            3 = single channel
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zembrio {

enum HeaderResult : int32_t { Ok = 0, EndOfData = 1, NoSync = 2, Invalid = 3 };

using TBitrateTable = std::array<int32_t, 16>;

struct FrameHeader {
  int32_t VersionId = 0;
  int32_t LayerCode = 0;
  int32_t BitrateIndex = 0;
  int32_t SampleRateIndex = 0;
  int32_t Padding = 0;
  int32_t ChannelMode = 0;
  // Derived values.
  const TBitrateTable* BitrateTable = nullptr;  // kbit/s, static storage
  int32_t Bitrate = 0;                          // kbit/s
  int32_t SampleRate = 0;                       // Hz
  int32_t SamplesPerFrame = 0;
  int32_t FrameLength = 0;  // whole frame, header included
  int32_t DataLength = 0;   // FrameLength - 4
};

// The reference frame a later header must match: version, sampling frequency, layer.
struct HeaderReference {
  int32_t VersionId = 0;
  int32_t SampleRate = 0;
  int32_t LayerCode = 0;
};

// Decodes four header bytes. reference is null before the first accepted frame.
// On Ok, header holds every field and derived value; otherwise it is unspecified.
HeaderResult Decode(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3,
                    const HeaderReference* reference, FrameHeader& header);

// Bytes of the padding slot: 4 in Layer I, 1 in Layers II and III.
constexpr int32_t PaddingSlotSize(int32_t layerCode) {
  return layerCode == 3 ? 4 : 1;
}

// Bytes of Layer III side information after the header (and its CRC): 32 for MPEG-1
// stereo, 17 for MPEG-1 mono and MPEG-2/2.5 stereo, 9 for MPEG-2/2.5 mono. A VBR header
// frame keeps its tag right after it.
constexpr size_t SideInfoLength(int32_t versionId, int32_t channelMode) {
  const bool mono = channelMode == 3;
  if (versionId == 3)
    return mono ? 17 : 32;
  return mono ? 9 : 17;
}

// "2.5", "2 (ISO/IEC 13818-3)", "1 (ISO/IEC 11172-3)" or "unknown".
std::string VersionTextOf(int32_t versionId);

}  // namespace zembrio
