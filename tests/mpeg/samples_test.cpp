// The walk on files made by real encoders (tests/data/make_samples.sh); the expected
// figures come from mpg123's decoding of the same files (tests/data/README.md).
#include <gtest/gtest.h>

#include <algorithm>

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
  bool headerFrame;  // a "Xing"/"Info" frame in front of the audio
  int64_t id3v2Size;
};

const Sample kSamples[] = {
    {"cbr128_44k.mp3", 78, 89856, 44100, 3, true, 0},
    {"vbr_44k.mp3", 78, 89856, 44100, 3, true, 0},
    {"mpeg2_22k.mp3", 79, 45504, 22050, 2, true, 0},
    {"mpeg25_8k.mp3", 30, 17280, 8000, 0, false, 0},
    {"layer2_44k.mp2", 77, 88704, 44100, 3, false, 0},
    {"cover_id3v2.mp3", 78, 89856, 44100, 3, true, 14220},
};

class SampleFileTest : public ::testing::TestWithParam<Sample> {};

TEST_P(SampleFileTest, WalksTheEncodersFramesAndCopiesThemUnchanged) {
  const Sample& sample = GetParam();
  const std::string path = std::string(ZEMBRIO_TEST_DATA_DIR) + "/" + sample.name;
  TMPGFile file;
  ASSERT_TRUE(file.Open(path, true));
  EXPECT_EQ(file.HasVBRHeader(), sample.headerFrame);
  EXPECT_EQ(file.Id3v2Size(), sample.id3v2Size);
  test::WalkToEnd(file);
  EXPECT_EQ(file.FrameCount(), sample.audioFrames);
  EXPECT_EQ(file.EndSample(), sample.samples);
  EXPECT_EQ(file.RefSampleRate(), sample.sampleRate);
  EXPECT_EQ(file.RefVersion(), sample.version);
  EXPECT_EQ(file.SkippedBytes(), 0);

  // With the header frame kept, every frame copied gives back the source's audio bytes.
  test::TempDir dir;
  TMPGFile whole;
  ASSERT_TRUE(whole.Open(path, false));
  TOutputFile out(dir.File("copy"));
  test::WalkToEnd(whole, &out);
  out.Close();
  EXPECT_EQ(whole.FrameCount(), sample.audioFrames + (sample.headerFrame ? 1 : 0));
  EXPECT_EQ(whole.FirstFramePos(), sample.id3v2Size);
  const test::Bytes source = test::ReadFile(path);
  EXPECT_EQ(test::ReadFile(dir.File("copy")), test::Bytes(source.begin() + whole.FirstFramePos(),
                                                          source.begin() + whole.AudioSize()));
}

INSTANTIATE_TEST_SUITE_P(Encoders, SampleFileTest, ::testing::ValuesIn(kSamples),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           std::replace(name.begin(), name.end(), '.', '_');
                           return name;
                         });

}  // namespace
}  // namespace zembrio
