#include "mpeg/xingheader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace zembrio {
namespace {

TEST(XingHeaderTest, Crc16IsTheOneOfTheLameExtension) {
  const char* check = "123456789";  // the check value of CRC-16/ARC
  const auto* bytes = reinterpret_cast<const uint8_t*>(check);
  EXPECT_EQ(Crc16(0, bytes, 9), 0xBB3D);
  // Piece by piece, through the eight-byte steps and the single bytes alike.
  EXPECT_EQ(Crc16(Crc16(0, bytes, 3), bytes + 3, 6), 0xBB3D);
}

// The folding path for long runs gives the tables' CRC at every length and alignment, from
// any starting value: a frame's bytes start anywhere in the read buffer.
TEST(XingHeaderTest, Crc16OfLongRunsMatchesTheTables) {
  std::vector<uint8_t> bytes(1500);
  uint32_t seed = 12345;
  for (uint8_t& b : bytes) {
    seed = seed * 1103515245 + 12345;
    b = static_cast<uint8_t>(seed >> 16);
  }
  for (size_t offset = 0; offset < 16; ++offset) {
    for (size_t size = 0; size + offset <= bytes.size(); size += 7) {
      const uint16_t start = static_cast<uint16_t>(size * 2654435761u);
      ASSERT_EQ(Crc16(start, bytes.data() + offset, size),
                Crc16Tables(start, bytes.data() + offset, size))
          << "offset " << offset << ", size " << size;
    }
  }
  EXPECT_EQ(Crc16(Crc16(0, bytes.data(), 700), bytes.data() + 700, 800),
            Crc16Tables(0, bytes.data(), bytes.size()));
}

// Pieces of any size, across the stream's gathering buffer however often it fills.
TEST(XingHeaderTest, Crc16StreamGivesTheCrcOfAllItsPieces) {
  std::vector<uint8_t> bytes(20000);
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 5));
  TCrc16Stream stream;
  EXPECT_EQ(stream.Value(), 0);
  TCrc16Stream shortStream;  // never a whole block
  shortStream.Add(bytes.data(), 10);
  shortStream.Add(nullptr, 0);  // a frame's absent second piece
  shortStream.Add(bytes.data() + 10, 40);
  EXPECT_EQ(shortStream.Value(), Crc16Tables(0, bytes.data(), 50));
  size_t at = 0;
  for (size_t piece = 1; at < bytes.size(); piece = piece * 3 % 5000 + 1) {
    const size_t size = std::min(piece, bytes.size() - at);
    stream.Add(bytes.data() + at, size);
    at += size;
  }
  EXPECT_EQ(stream.Value(), Crc16Tables(0, bytes.data(), bytes.size()));
}

// A stream of equal frames: entry i lies at i % of the bytes, however many frames there are
// and however few of their offsets the table keeps.
TEST(XingHeaderTest, SeekTableOfALongStreamStaysExact) {
  for (const int64_t frames : {int64_t{7}, int64_t{1000}, int64_t{1400000}}) {
    TTocBuilder toc;
    constexpr int64_t kFrameLength = 417;
    for (int64_t i = 0; i < frames; ++i)
      toc.AddFrame(i * kFrameLength);
    const auto table = toc.Table(frames * kFrameLength);
    for (int i = 0; i < 100; ++i)
      EXPECT_NEAR(table[i], 2.56 * i, 1.0) << frames << " frames, entry " << i;
  }
}

TEST(XingHeaderTest, AFreshHeaderFrameReadsBackAndPicksAFrameLargeEnough) {
  // MPEG-1 Layer III, 32 kbit/s, 44100 Hz, stereo, CRC protected: too small to hold it.
  const std::array<uint8_t, 4> first{0xFF, 0xFA, 0x10, 0x44};
  const auto header = HeaderFrameHeader(first);
  ASSERT_TRUE(header);
  EXPECT_EQ((*header)[1] & 1, 1);  // no CRC
  THeaderFrameFields fields;
  fields.Header = *header;
  fields.VariableBitrate = true;
  fields.Frames = 1234;
  fields.Bytes = 567890;
  fields.Quality = 57;
  std::memcpy(fields.Lame.Encoder.data(), "LAME3.100", 9);
  fields.Lame.Delay = 1105;
  fields.Lame.Padding = 4095;
  const std::vector<uint8_t> frame = BuildHeaderFrame(fields);
  ASSERT_GE(frame.size(), 36u + 120 + 36);
  EXPECT_EQ(std::memcmp(frame.data() + 36, "Xing", 4), 0);
  const auto read = ReadSourceHeader(frame.data() + 4, frame.size() - 4, 3, 1);
  ASSERT_TRUE(read && read->Lame);
  EXPECT_EQ(read->Quality, 57);
  EXPECT_EQ(read->Lame->Delay, 1105);
  EXPECT_EQ(read->Lame->Padding, 4095);
  EXPECT_EQ(read->Lame->Encoder, fields.Lame.Encoder);
  // The header CRC covers everything before it.
  EXPECT_EQ(Crc16(0, frame.data(), 190), frame[190] << 8 | frame[191]);
}

// A fragment's place in its source rides after the LAME extension; the header CRC and the
// fields before it stay as they are without it.
TEST(XingHeaderTest, AFragmentMarkReadsBackAndChangesNothingElse) {
  const std::array<uint8_t, 4> first{0xFF, 0xFB, 0x90, 0x44};
  THeaderFrameFields fields;
  fields.Header = *HeaderFrameHeader(first);
  std::memcpy(fields.Lame.Encoder.data(), "LAME3.100", 9);
  fields.Lame.Delay = 2880;
  const std::vector<uint8_t> plain = BuildHeaderFrame(fields);
  fields.Mark = TFragmentMark{0xDEADBEEF, int64_t{1} << 33, 1, 2};
  const std::vector<uint8_t> marked = BuildHeaderFrame(fields);
  ASSERT_EQ(plain.size(), marked.size());
  EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + 36 + 156, marked.begin()));
  const auto read = ReadSourceHeader(marked.data() + 4, marked.size() - 4, 3, 1);
  ASSERT_TRUE(read && read->Mark);
  EXPECT_EQ(read->Mark->Source, 0xDEADBEEF);
  EXPECT_EQ(read->Mark->FirstFrame, int64_t{1} << 33);
  EXPECT_EQ(read->Mark->Leading, 1);
  EXPECT_EQ(read->Mark->Trailing, 2);
  const auto none = ReadSourceHeader(plain.data() + 4, plain.size() - 4, 3, 1);
  ASSERT_TRUE(none);
  EXPECT_FALSE(none->Mark);
}

TEST(XingHeaderTest, DataWithoutAHeaderOrCutShortReadsAsNone) {
  std::vector<uint8_t> data(200, 0);
  EXPECT_FALSE(ReadSourceHeader(data.data(), data.size(), 3, 1));
  std::memcpy(data.data() + 32, "Info", 4);
  data[39] = 0x0F;  // every field, and no room left for them
  const auto shortOne = ReadSourceHeader(data.data(), 40, 3, 1);
  ASSERT_TRUE(shortOne);
  EXPECT_FALSE(shortOne->Lame);
  EXPECT_FALSE(HeaderFrameHeader({0xFF, 0xFD, 0x90, 0x44}));  // Layer II: none
}

}  // namespace
}  // namespace zembrio
