// The FLAC decoder against flac -d: the same samples, whole or in stretches, at 16 and
// 24 bits; refusals of what it cannot decode.
#include <gtest/gtest.h>

#include <cmath>
#include <system_error>

#include "../flac/flacsources.h"
#include "sound/flacdecoder.h"

namespace zembrio {
namespace {

class FlacDecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveFlacTools())
      GTEST_SKIP() << "sox, flac or metaflac missing";
  }

  // The source's samples as flac -d gives them, little-endian signed, widened to 32 bits.
  std::vector<int32_t> Reference(const std::string& path, int bits) {
    const std::string raw = path + ".raw";
    test::RunTool("flac -d -s -f --force-raw-format --endian=little --sign=signed -o " + raw + " " +
                  path);
    const test::Bytes bytes = test::ReadFile(raw);
    const size_t width = static_cast<size_t>(bits / 8);
    std::vector<int32_t> samples(bytes.size() / width);
    for (size_t i = 0; i < samples.size(); ++i) {
      uint32_t value = 0;
      for (size_t b = 0; b < width; ++b)
        value |= uint32_t{bytes[i * width + b]} << (8 * b);
      const int shift = 32 - bits;
      samples[i] = static_cast<int32_t>(value << shift) >> shift;
    }
    return samples;
  }

  // Every sample the decoder gives, back at the stream's depth; checks that blocks follow
  // each other from first on.
  std::vector<int32_t> Decoded(TSoundDecoder& decoder, int bits, int64_t first) {
    std::vector<int32_t> samples;
    const float scale = std::ldexp(1.0f, bits - 1);
    int64_t expected = first;
    TPcmBlock block;
    while (decoder.Next(block)) {
      EXPECT_EQ(block.StartSample, expected);
      expected += block.Frames;
      const size_t count = static_cast<size_t>(block.Frames) * decoder.Format().Channels;
      for (size_t i = 0; i < count; ++i)
        samples.push_back(static_cast<int32_t>(std::lround(block.Data[i] * scale)));
    }
    return samples;
  }

  test::TempDir dir_;
};

TEST_F(FlacDecoderTest, WholeSourceEqualsTheReferenceDecode) {
  struct Case {
    int Rate, Channels, Bits, Blocksize;
  };
  for (const Case c : {Case{44100, 2, 16, 4096}, Case{96000, 1, 24, 1152}}) {
    const std::string path = dir_.File("whole" + std::to_string(c.Bits) + ".flac");
    test::MakeFlac(path, 2.5, c.Rate, c.Channels, c.Bits, c.Blocksize);
    const auto decoder = OpenFlacDecoder(path);
    EXPECT_EQ(decoder->Format().SampleRate, c.Rate);
    EXPECT_EQ(decoder->Format().Channels, c.Channels);
    EXPECT_EQ(decoder->TotalSamples(), static_cast<int64_t>(2.5 * c.Rate));
    EXPECT_EQ(Decoded(*decoder, c.Bits, 0), Reference(path, c.Bits)) << c.Bits;
    EXPECT_DOUBLE_EQ(decoder->Progress(), 1.0);
  }
}

TEST_F(FlacDecoderTest, StretchesAndTwoHalves) {
  const std::string path = dir_.File("stretch.flac");
  test::MakeFlac(path, 3.0, 44100, 2, 16, 4096);
  const std::vector<int32_t> whole = Reference(path, 16);
  const auto slice = [&](int64_t from, int64_t to) {
    return std::vector<int32_t>(whole.begin() + from * 2, whole.begin() + to * 2);
  };
  // Inside one frame, across frames, starting on a frame boundary.
  for (const auto& [from, to] : {std::pair<int64_t, int64_t>{5000, 5001},
                                 {4095, 12289},
                                 {8192, 8192 + 4096},
                                 {100000, 132300}}) {
    TFlacDecoder decoder(path, from, to);
    EXPECT_EQ(Decoded(decoder, 16, from), slice(from, to)) << from << ".." << to;
  }
  // Two halves decoded by two decoders at once, then put end to end.
  const int64_t middle = 66150;
  TFlacDecoder firstHalf(path, 0, middle);
  TFlacDecoder secondHalf(path, middle);
  std::vector<int32_t> joined = Decoded(firstHalf, 16, 0);
  const std::vector<int32_t> later = Decoded(secondHalf, 16, middle);
  joined.insert(joined.end(), later.begin(), later.end());
  EXPECT_EQ(joined, whole);
  // One decoder moved from stretch to stretch, forward past the frame it stopped in, then
  // back.
  TFlacDecoder moved(path, 1000, 2000);
  EXPECT_EQ(Decoded(moved, 16, 1000), slice(1000, 2000));
  moved.Select(2000, 9000);
  EXPECT_EQ(Decoded(moved, 16, 2000), slice(2000, 9000));
  moved.Select(10, 20);
  EXPECT_EQ(Decoded(moved, 16, 10), slice(10, 20));
  moved.Select(132300, -1);
  TPcmBlock block;
  EXPECT_FALSE(moved.Next(block));
}

TEST_F(FlacDecoderTest, RefusesWhatItCannotDecode) {
  const std::string text = dir_.File("text.flac");
  test::WriteFile(text, test::Bytes(500, 'z'));
  EXPECT_THROW(OpenFlacDecoder(text), TSoundError);
  EXPECT_THROW(OpenFlacDecoder(dir_.File("missing.flac")), std::system_error);
}

}  // namespace
}  // namespace zembrio
