// The walk on files made by real encoders (tests/data/make_samples.sh); the expected
// figures come from mpg123's decoding of the same files (tests/data/README.md).
#include <gtest/gtest.h>

#include "mpeg/mpgfile.h"
#include "tests/mpeg/walk.h"
#include "tests/support/framebuilder.h"

namespace zembrio {
namespace {

struct Sample {
  const char* name;
  int32_t audioFrames;
  int64_t samples;
  int32_t sampleRate;
  int32_t version;
  int32_t layer;
  bool headerFrame;  // a "Xing"/"Info" frame in front of the audio
};

const Sample kSamples[] = {
    {"cbr128_44k.mp3", 78, 89856, 44100, 3, 1, true},
    {"vbr_44k.mp3", 78, 89856, 44100, 3, 1, true},
    {"mpeg2_22k.mp3", 79, 45504, 22050, 2, 1, true},
    {"mpeg25_8k.mp3", 30, 17280, 8000, 0, 1, false},
    {"layer2_44k.mp2", 77, 88704, 44100, 3, 2, false},
    {"cover_id3v2.mp3", 78, 89856, 44100, 3, 1, true},
};

std::string PathOf(const Sample& sample) {
  return std::string(ZEMBRIO_TEST_DATA_DIR) + "/" + sample.name;
}

class SampleFileTest : public ::testing::TestWithParam<Sample> {};

TEST_P(SampleFileTest, WalksTheEncodersFrameCountWithoutSkipping) {
  const Sample& sample = GetParam();
  TMPGFile file;
  ASSERT_TRUE(file.Open(PathOf(sample), true));
  EXPECT_EQ(file.HasVBRHeader, sample.headerFrame);
  test::WalkToEnd(file);
  EXPECT_EQ(file.FrameCount, sample.audioFrames);
  EXPECT_EQ(file.EndSample, sample.samples);
  EXPECT_EQ(file.RefSampleRate, sample.sampleRate);
  EXPECT_EQ(file.RefVersion, sample.version);
  EXPECT_EQ(file.RefLayer, sample.layer);
  EXPECT_EQ(file.SkippedBytes, 0);

  // With the header frame kept, it is walked as the first frame.
  TMPGFile whole;
  ASSERT_TRUE(whole.Open(PathOf(sample), false));
  test::WalkToEnd(whole);
  EXPECT_EQ(whole.FrameCount, sample.audioFrames + (sample.headerFrame ? 1 : 0));
  EXPECT_EQ(whole.SkippedBytes, 0);
}

// Copying every walked frame gives back the audio bytes of the source, unchanged.
TEST_P(SampleFileTest, CopiedFramesAreTheSourceAudio) {
  const Sample& sample = GetParam();
  test::TempDir dir;
  TMPGFile file;
  ASSERT_TRUE(file.Open(PathOf(sample), false));
  {
    TOutputFile out(dir.File("copy"));
    test::WalkToEnd(file, &out);
    out.Close();
  }
  const test::Bytes source = test::ReadFile(PathOf(sample));
  const test::Bytes expected(source.begin() + file.FirstFramePos, source.begin() + file.AudioSize);
  EXPECT_EQ(test::ReadFile(dir.File("copy")), expected);
}

INSTANTIATE_TEST_SUITE_P(Encoders, SampleFileTest, ::testing::ValuesIn(kSamples),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& c : name) {
                             if (!isalnum(static_cast<unsigned char>(c)))
                               c = '_';
                           }
                           return name;
                         });

TEST(SampleFileTagTest, CoverPictureTagIsPassedOverAndId3v1Kept) {
  TMPGFile file;
  ASSERT_TRUE(file.Open(std::string(ZEMBRIO_TEST_DATA_DIR) + "/cover_id3v2.mp3", true));
  EXPECT_EQ(file.Id3v2Size, 14220);
  EXPECT_TRUE(file.HasTag);
  EXPECT_EQ(file.AudioSize, file.FileSize() - 128);
  EXPECT_EQ(file.FirstFramePos, 14220 + 417);  // after the "Info" frame
}

}  // namespace
}  // namespace zembrio
