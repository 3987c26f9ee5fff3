// Frame headers read back as written at every length of the coded number, and the CRC-16
// of a renumbered frame carried over from its body.
#include <gtest/gtest.h>

#include <vector>

#include "flac/frameheader.h"

namespace zembrio {
namespace {

TEST(FlacFrameHeader, RoundTripsEveryNumberLengthAndUncommonField) {
  struct Case {
    bool Variable;
    uint64_t Number;
    uint32_t BlockSize;
    uint32_t Rate;
    uint8_t RateCode;
    size_t Length;
  };
  const std::vector<Case> cases = {
      {false, 0, 4096, 44100, 9, 6},             // one-byte number, common codes
      {false, 0x7FFFFFFF, 4608, 48000, 10, 11},  // the largest frame number
      {true, 0x7F, 1152, 44100, 9, 6},
      {true, 0x80, 17, 96000, 11, 8},     // two-byte number, 8-bit block size
      {true, 0x7FF, 300, 11025, 13, 11},  // 16-bit block size and rate in Hz
      {true, 0x800, 1, 22000, 12, 10},    // a one-sample frame, rate in kHz
      {true, kFlacMaxSampleNumber, 65536, 655350, 14, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Number);
    TFlacFrameHeader header;
    header.VariableBlocksize = c.Variable;
    header.BlockSize = c.BlockSize;
    header.BlockSizeCode = BlockSizeCodeFor(c.BlockSize);
    header.RateCode = c.RateCode;
    header.SampleRate = c.Rate;
    header.ChannelAssignment = 10;  // mid/side
    header.DepthCode = 4;
    header.Number = c.Number;
    std::array<uint8_t, kFlacMaxHeaderSize> bytes{};
    ASSERT_EQ(SerializeFlacFrameHeader(header, bytes), c.Length);
    const auto back = ParseFlacFrameHeader(bytes.data(), c.Length);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->Number, c.Number);
    EXPECT_EQ(back->BlockSize, c.BlockSize);
    EXPECT_EQ(back->SampleRate, c.Rate);
    EXPECT_EQ(back->Channels(), 2u);
    EXPECT_EQ(back->BitsPerSample(), 16u);
    bytes[c.Length - 2] ^= 1;  // the CRC-8 catches any changed bit
    EXPECT_FALSE(ParseFlacFrameHeader(bytes.data(), c.Length).has_value());
  }
  TFlacFrameHeader tooLarge;
  tooLarge.BlockSizeCode = 12;
  tooLarge.BlockSize = 4096;
  tooLarge.Number = kFlacMaxFrameNumber + 1;  // fits a sample number, not a frame number
  std::array<uint8_t, kFlacMaxHeaderSize> bytes{};
  EXPECT_EQ(SerializeFlacFrameHeader(tooLarge, bytes), 0u);
}

TEST(FlacCrc16, CarriesABodyOverToAnotherHeader) {
  std::vector<uint8_t> body(5000);
  for (size_t i = 0; i < body.size(); ++i)
    body[i] = static_cast<uint8_t>(i * 131 + 7);
  const std::vector<uint8_t> header = {0xFF, 0xF9, 0xC9, 0xA8, 0xE1, 0x80, 0x80, 0x55};
  std::vector<uint8_t> whole = header;
  whole.insert(whole.end(), body.begin(), body.end());
  const uint16_t direct = FlacCrc16(0, whole.data(), whole.size());
  const uint16_t carried = FlacCrc16Combine(FlacCrc16(0, header.data(), header.size()),
                                            FlacCrc16(0, body.data(), body.size()), body.size());
  EXPECT_EQ(carried, direct);
  // Byte at a time and eight at a time agree; the known check value of CRC-16/BUYPASS.
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(FlacCrc16(0, digits, 9), 0xFEE8);
  EXPECT_EQ(FlacCrc8(digits, 9), 0xF4);
  uint16_t stepwise = 0;
  for (uint8_t b : whole)
    stepwise = FlacCrc16(stepwise, &b, 1);
  EXPECT_EQ(stepwise, direct);
}

}  // namespace
}  // namespace zembrio
