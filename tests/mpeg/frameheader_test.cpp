#include "mpeg/frameheader.h"

#include <gtest/gtest.h>

#include "tests/support/framebuilder.h"

namespace zembrio {
namespace {

HeaderResult DecodeBytes(uint8_t b1, uint8_t b2, uint8_t b3, FrameHeader& header,
                         const HeaderReference* reference = nullptr) {
  return Decode(0xFF, b1, b2, b3, reference, header);
}

int32_t LengthOf(uint8_t b1, uint8_t b2) {
  FrameHeader header;
  EXPECT_EQ(DecodeBytes(b1, b2, 0x40, header), Ok);
  return header.FrameLength;
}

TEST(FrameHeaderTest, DecodesTheCommonMpeg1Layer3Header) {
  FrameHeader header;
  ASSERT_EQ(Decode(0xFF, 0xFB, 0x90, 0x64, nullptr, header), Ok);
  EXPECT_EQ(header.VersionId, 3);
  EXPECT_EQ(header.LayerCode, 1);
  EXPECT_EQ(header.BitrateIndex, 9);
  EXPECT_EQ(header.Bitrate, 128);
  EXPECT_EQ(header.SampleRate, 44100);
  EXPECT_EQ(header.Padding, 0);
  EXPECT_EQ(header.ChannelMode, 1);
  EXPECT_EQ(header.SamplesPerFrame, 1152);
  EXPECT_EQ(header.FrameLength, 417);
  EXPECT_EQ(header.DataLength, 413);
  ASSERT_NE(header.BitrateTable, nullptr);
  EXPECT_EQ((*header.BitrateTable)[14], 320);

  ASSERT_EQ(Decode(0xFF, 0xFB, 0x92, 0x64, nullptr, header), Ok);
  EXPECT_EQ(header.FrameLength, 418);  // one padding byte
}

TEST(FrameHeaderTest, LowerRatesLayersAndPaddingSlots) {
  EXPECT_EQ(LengthOf(0xF3, 0x80), 208);  // MPEG-2 Layer III 64 kbit/s 22050 Hz
  EXPECT_EQ(LengthOf(0xFF, 0x16), 36);   // MPEG-1 Layer I 32 kbit/s 48000 Hz, 4-byte padding
  EXPECT_EQ(LengthOf(0xF5, 0xE4), 960);  // MPEG-2 Layer II 160 kbit/s 24000 Hz
  EXPECT_EQ(LengthOf(0xF7, 0x14), 64);   // MPEG-2 Layer I 32 kbit/s 24000 Hz
  FrameHeader header;
  const int32_t rates[3] = {11025, 12000, 8000};
  for (int index = 0; index < 3; ++index) {  // MPEG-2.5
    ASSERT_EQ(DecodeBytes(0xE3, static_cast<uint8_t>(0x10 | index << 2), 0xC0, header), Ok);
    EXPECT_EQ(header.SampleRate, rates[index]);
    EXPECT_EQ(header.SamplesPerFrame, 576);
  }
  ASSERT_EQ(DecodeBytes(0xF5, 0x10, 0, header), Ok);  // MPEG-2 Layer II keeps 1152
  EXPECT_EQ(header.SamplesPerFrame, 1152);
}

// Every valid combination against the frame builder's own tables and formula.
TEST(FrameHeaderTest, AllValidHeadersMatchTheBuilder) {
  for (int version : {0, 2, 3}) {
    for (int layer = 1; layer <= 3; ++layer) {
      for (int bitrate = 1; bitrate <= 14; ++bitrate) {
        for (int rate = 0; rate <= 2; ++rate) {
          for (int padding = 0; padding <= 1; ++padding) {
            const test::FrameSpec spec{version, layer, bitrate, rate, padding, 3};
            const test::Bytes bytes = test::HeaderBytes(spec);
            FrameHeader header;
            ASSERT_EQ(Decode(bytes[0], bytes[1], bytes[2], bytes[3], nullptr, header), Ok);
            EXPECT_EQ(header.FrameLength, test::FrameLength(spec))
                << version << "/" << layer << "/" << bitrate << "/" << rate << "/" << padding;
            EXPECT_EQ(header.DataLength, header.FrameLength - 4);
          }
        }
      }
    }
  }
}

TEST(FrameHeaderTest, RefusesReservedAndFreeFormatFieldsEvenWithSync) {
  FrameHeader header;
  EXPECT_EQ(DecodeBytes(0xFB, 0x00, 0, header), Invalid);  // free format
  EXPECT_EQ(DecodeBytes(0xFB, 0xF0, 0, header), Invalid);  // bitrate index 15
  EXPECT_EQ(DecodeBytes(0xFB, 0x9C, 0, header), Invalid);  // sampling frequency index 3
  EXPECT_EQ(DecodeBytes(0xF9, 0x90, 0, header), Invalid);  // layer code 0
  EXPECT_EQ(DecodeBytes(0xEB, 0x90, 0, header), Invalid);  // version 1
  EXPECT_EQ(DecodeBytes(0xFF, 0xF0, 0, header), Invalid);  // all bits set after the sync

  EXPECT_EQ(Decode(0xFF, 0xDF, 0x90, 0x64, nullptr, header), NoSync);
  EXPECT_EQ(Decode(0xFE, 0xFB, 0x90, 0x64, nullptr, header), NoSync);
  EXPECT_EQ(Decode(0x00, 0x00, 0x00, 0x00, nullptr, header), NoSync);
}

TEST(FrameHeaderTest, LaterHeadersMustMatchTheReferenceStream) {
  const HeaderReference reference{3, 44100, 1};
  FrameHeader header;
  EXPECT_EQ(DecodeBytes(0xFB, 0x94, 0x64, header, &reference), NoSync);  // 48000 Hz
  EXPECT_EQ(DecodeBytes(0xFD, 0x90, 0x64, header, &reference), NoSync);  // Layer II
  EXPECT_EQ(DecodeBytes(0xF3, 0x90, 0x64, header, &reference), NoSync);  // MPEG-2
  // Bitrate, padding and channel mode may change from frame to frame.
  EXPECT_EQ(DecodeBytes(0xFB, 0xD2, 0xC0, header, &reference), Ok);
  EXPECT_EQ(header.Bitrate, 256);
  // A bad field is still Invalid, whatever the reference.
  EXPECT_EQ(DecodeBytes(0xFB, 0xF0, 0x64, header, &reference), Invalid);
}

}  // namespace
}  // namespace zembrio
