// Entering a source at a time: the decoder starts at (or just before) it, and what it gives
// there is what a decode from the start gives at the same position.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "sound/decoder.h"
#include "soundsources.h"

namespace zembrio {
namespace {

using test::SoundSources;

const SoundSources* Sources() {
  try {
    return &SoundSources::Get();
  } catch (const std::exception&) {
    return nullptr;
  }
}

// The first count interleaved samples from sample position at on.
std::vector<float> SamplesFrom(TSoundDecoder& decoder, int64_t at, size_t count) {
  std::vector<float> samples;
  const int channels = decoder.Format().Channels;
  TPcmBlock block;
  while (samples.size() < count && decoder.Next(block)) {
    for (int32_t frame = 0; frame < block.Frames; ++frame) {
      if (block.StartSample + frame < at)
        continue;
      for (int c = 0; c < channels; ++c)
        samples.push_back(block.Data[static_cast<size_t>(frame) * channels + c]);
    }
  }
  samples.resize(std::min(samples.size(), count));
  return samples;
}

// tolerance: Opus resumes after a short pre-roll of the decoder, close to but not exactly
// the samples of a decode from the start.
void ExpectEnteredAt(const std::string& path, int64_t fromMs, double tolerance) {
  const auto whole = OpenSoundDecoder(path);
  const int64_t at = fromMs * whole->Format().SampleRate / 1000;
  const auto entered = OpenSoundDecoderFrom(path, fromMs);
  TPcmBlock first;
  ASSERT_TRUE(entered->Next(first));
  EXPECT_LE(first.StartSample, at);
  // Entered near the time, not decoded from the start.
  EXPECT_GT(first.StartSample, at - whole->Format().SampleRate / 10);
  const auto again = OpenSoundDecoderFrom(path, fromMs);
  const std::vector<float> expected = SamplesFrom(*whole, at, 4000);
  const std::vector<float> got = SamplesFrom(*again, at, 4000);
  ASSERT_EQ(got.size(), expected.size());
  double worst = 0;
  for (size_t i = 0; i < got.size(); ++i)
    worst = std::max(worst, std::fabs(double(got[i]) - expected[i]));
  EXPECT_LT(worst, tolerance);
}

TEST(DecoderFrom, OggVorbisIsEnteredAtTheTime) {
  const SoundSources* sources = Sources();
  if (!sources)
    GTEST_SKIP() << "sox, lame or oggenc missing";
  ExpectEnteredAt(sources->Ogg, 7000, 1e-3);
}

TEST(DecoderFrom, OggOpusIsEnteredAtTheTime) {
  const SoundSources* sources = Sources();
  if (!sources || std::system("opusenc --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "sox or opusenc missing";
  const std::string opus = sources->Dir.File("pattern.opus");
  SoundSources::Run("opusenc --quiet " + sources->Wav + " " + opus);
  ExpectEnteredAt(opus, 7000, 0.05);
}

}  // namespace
}  // namespace zembrio
