#include "mpeg/frameheader.h"

namespace zembrio {

namespace {

// Bitrates in kbit/s. MPEG-1 has one table per layer; MPEG-2 and MPEG-2.5 share the tables
// for the lower sampling frequencies: one for Layer I, one for Layers II and III.
constexpr TBitrateTable kMpeg1Layer1 = {0,   32,  64,  96,  128, 160, 192, 224,
                                        256, 288, 320, 352, 384, 416, 448, 0};
constexpr TBitrateTable kMpeg1Layer2 = {0,   32,  48,  56,  64,  80,  96,  112,
                                        128, 160, 192, 224, 256, 320, 384, 0};
constexpr TBitrateTable kMpeg1Layer3 = {0,   32,  40,  48,  56,  64,  80,  96,
                                        112, 128, 160, 192, 224, 256, 320, 0};
constexpr TBitrateTable kMpeg2Layer1 = {0,   32,  48,  56,  64,  80,  96,  112,
                                        128, 144, 160, 176, 192, 224, 256, 0};
constexpr TBitrateTable kMpeg2Layer23 = {0,  8,  16, 24,  32,  40,  48,  56,
                                         64, 80, 96, 112, 128, 144, 160, 0};

constexpr int32_t kBaseSampleRate[4] = {44100, 48000, 32000, 0};

constexpr int32_t kVersionMpeg25 = 0;
constexpr int32_t kVersionReserved = 1;
constexpr int32_t kVersionMpeg1 = 3;
constexpr int32_t kLayerReserved = 0;
constexpr int32_t kLayer3 = 1;
constexpr int32_t kLayer1 = 3;

constexpr const TBitrateTable& BitrateTableOf(int32_t versionId, int32_t layerCode) {
  if (versionId == kVersionMpeg1) {
    return layerCode == kLayer1 ? kMpeg1Layer1
                                : (layerCode == kLayer3 ? kMpeg1Layer3 : kMpeg1Layer2);
  }
  return layerCode == kLayer1 ? kMpeg2Layer1 : kMpeg2Layer23;
}

constexpr int32_t SampleRateOf(int32_t versionId, int32_t sampleRateIndex) {
  const int32_t divisor = versionId == kVersionMpeg1 ? 1 : (versionId == kVersionMpeg25 ? 4 : 2);
  return kBaseSampleRate[sampleRateIndex] / divisor;
}

constexpr int32_t SamplesPerFrameOf(int32_t versionId, int32_t layerCode) {
  if (layerCode == kLayer1) {
    return 384;
  }
  return layerCode == kLayer3 && versionId != kVersionMpeg1 ? 576 : 1152;
}

// Sampling frequencies and frame lengths (without the padding slot) for every version,
// layer, bitrate index and sampling frequency index: a walk decodes one header per frame,
// and the two divisions would cost more than the rest of the decoding.
struct TDecodeTables {
  int32_t SampleRate[4][4]{};
  int32_t FrameLength[4][4][16][4]{};
};

constexpr TDecodeTables MakeDecodeTables() {
  TDecodeTables tables;
  for (int32_t version = 0; version < 4; ++version) {
    for (int32_t rateIndex = 0; rateIndex < 3; ++rateIndex)
      tables.SampleRate[version][rateIndex] = SampleRateOf(version, rateIndex);
    for (int32_t layer = 1; layer < 4; ++layer) {
      const TBitrateTable& bitrates = BitrateTableOf(version, layer);
      for (int32_t bitrateIndex = 0; bitrateIndex < 16; ++bitrateIndex) {
        for (int32_t rateIndex = 0; rateIndex < 3; ++rateIndex) {
          tables.FrameLength[version][layer][bitrateIndex][rateIndex] =
              SamplesPerFrameOf(version, layer) * 125 * bitrates[bitrateIndex] /
              SampleRateOf(version, rateIndex);
        }
      }
    }
  }
  return tables;
}

constexpr TDecodeTables kDecodeTables = MakeDecodeTables();

}  // namespace

HeaderResult Decode(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3,
                    const HeaderReference* reference, FrameHeader& header) {
  if (b0 != 0xFF || (b1 & 0xE0) != 0xE0) {
    return NoSync;
  }
  header.VersionId = (b1 >> 3) & 3;
  header.LayerCode = (b1 >> 1) & 3;
  header.BitrateIndex = b2 >> 4;
  header.SampleRateIndex = (b2 >> 2) & 3;
  header.Padding = (b2 >> 1) & 1;
  header.ChannelMode = b3 >> 6;
  // Free format (index 0) has no length in its header, so it cannot be walked.
  if (header.BitrateIndex == 0 || header.BitrateIndex == 15 || header.LayerCode == kLayerReserved ||
      header.VersionId == kVersionReserved || kBaseSampleRate[header.SampleRateIndex] == 0) {
    return Invalid;
  }
  header.SampleRate = kDecodeTables.SampleRate[header.VersionId][header.SampleRateIndex];
  if (reference != nullptr &&
      (header.VersionId != reference->VersionId || header.SampleRate != reference->SampleRate ||
       header.LayerCode != reference->LayerCode)) {
    return NoSync;
  }
  header.BitrateTable = &BitrateTableOf(header.VersionId, header.LayerCode);
  header.Bitrate = (*header.BitrateTable)[header.BitrateIndex];
  header.SamplesPerFrame = SamplesPerFrameOf(header.VersionId, header.LayerCode);
  header.FrameLength = kDecodeTables.FrameLength[header.VersionId][header.LayerCode]
                                                [header.BitrateIndex][header.SampleRateIndex] +
                       header.Padding * PaddingSlotSize(header.LayerCode);
  header.DataLength = header.FrameLength - 4;
  if (header.DataLength < 0) {
    return Invalid;
  }
  return Ok;
}

std::string VersionTextOf(int32_t versionId) {
  switch (versionId) {
    case 0:
      return "2.5";
    case 2:
      return "2 (ISO/IEC 13818-3)";
    case 3:
      return "1 (ISO/IEC 11172-3)";
    default:
      return "unknown";
  }
}

}  // namespace zembrio
