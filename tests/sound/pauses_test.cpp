#include "sound/pauses.h"

#include <gtest/gtest.h>

#include "settingsguard.h"
#include "soundsources.h"

namespace zembrio {
namespace {

using test::SoundSources;

TPauseOptions TestOptions() {
  TPauseOptions options;
  options.MinTrackMs = 2000;  // the tracks of the pattern are 4 s long
  return options;
}

TEST(DetectPauses, OnePointInsideEachPauseOfMp3AndOgg) {
  const SoundSources& s = SoundSources::Get();
  for (const std::string& path : {s.Mp3, s.Ogg}) {
    SCOPED_TRACE(path);
    const TPauseResult result = DetectPauses(path, TestOptions());
    ASSERT_EQ(result.Status, TSoundStatus::Finished);
    ASSERT_EQ(result.SampleRate, 44100);
    ASSERT_EQ(result.Pauses.size(), 2u) << "the 0.3 s dip inside the second track is no pause";
    const double cut1 = static_cast<double>(result.Pauses[0].CutSample) / 44100;
    const double cut2 = static_cast<double>(result.Pauses[1].CutSample) / 44100;
    EXPECT_GT(cut1, SoundSources::kPause1Start + 0.1);
    EXPECT_LT(cut1, SoundSources::kPause1End);
    EXPECT_GT(cut2, SoundSources::kPause2Start + 0.1);
    EXPECT_LT(cut2, SoundSources::kPause2End);
    // The default share puts the cut in the middle of what was measured.
    EXPECT_NEAR(cut1, (SoundSources::kPause1Start + SoundSources::kPause1End) / 2, 0.1);
  }
}

TEST(DetectPauses, LongMp3DecodedInTwoHalvesFindsEveryPause) {
  const SoundSources& s = SoundSources::Get();
  const TPauseResult result = DetectPauses(s.LongMp3, TestOptions());
  ASSERT_EQ(result.Status, TSoundStatus::Finished);
  // Two pauses in each pattern; the patterns follow each other with sound on both sides.
  ASSERT_EQ(result.Pauses.size(), static_cast<size_t>(2 * SoundSources::kLongRepeats));
  for (size_t i = 0; i < result.Pauses.size(); ++i) {
    const double offset = static_cast<double>(i / 2) * SoundSources::kLength;
    const double cut = static_cast<double>(result.Pauses[i].CutSample) / 44100 - offset;
    const double start = i % 2 == 0 ? SoundSources::kPause1Start : SoundSources::kPause2Start;
    const double end = i % 2 == 0 ? SoundSources::kPause1End : SoundSources::kPause2End;
    EXPECT_GT(cut, start) << i;
    EXPECT_LT(cut, end) << i;
  }
}

TEST(DetectPauses, FastPathAgreesWithTheFullEnvelope) {
  const SoundSources& s = SoundSources::Get();
  const TPauseResult fast = DetectPauses(s.LongMp3, TestOptions());
  const TEnvelopeResult full = ComputeEnvelope(s.LongMp3);
  const std::vector<TPause> slow = FindPauses(full.Envelope, TestOptions());
  ASSERT_EQ(fast.Pauses.size(), slow.size());
  for (size_t i = 0; i < slow.size(); ++i) {
    EXPECT_EQ(fast.Pauses[i].StartSample, slow[i].StartSample) << i;
    EXPECT_EQ(fast.Pauses[i].EndSample, slow[i].EndSample) << i;
  }
}

TEST(DetectPauses, OptionsMoveAndDropPoints) {
  const SoundSources& s = SoundSources::Get();
  TPauseOptions options = TestOptions();
  options.Position = 0.0;
  const TPauseResult atStart = DetectPauses(s.Mp3, options);
  ASSERT_EQ(atStart.Pauses.size(), 2u);
  EXPECT_EQ(atStart.Pauses[0].CutSample, atStart.Pauses[0].StartSample);
  options.MinLengthMs = 1800;  // only the first pause is this long
  EXPECT_EQ(DetectPauses(s.Mp3, options).Pauses.size(), 1u);
  options = TestOptions();
  options.ThresholdDb = -90;  // nothing of the pattern is that quiet
  EXPECT_TRUE(DetectPauses(s.Mp3, options).Pauses.empty());
  options = TestOptions();
  options.MinTrackMs = 30000;  // longer than the source
  EXPECT_TRUE(DetectPauses(s.Mp3, options).Pauses.empty());
}

TEST(DetectPauses, AbortStopsWithoutPoints) {
  TSoundProgress progress;
  progress.AbortRequested = true;
  const TPauseResult result = DetectPauses(SoundSources::Get().Mp3, TestOptions(), &progress);
  EXPECT_EQ(result.Status, TSoundStatus::Aborted);
  EXPECT_TRUE(result.Pauses.empty());
}

// Envelopes built by hand: 10 ms steps at 1000 Hz, loud (-6 dB) or quiet (-80 dB).
TEnvelope MakeEnvelope(const std::string& pattern) {
  TEnvelope envelope(1000, 10);
  for (char c : pattern) {
    const double level = c == '#' ? 0.5 : 0.0001;
    envelope.Append(level, level * level, 10);
  }
  return envelope;
}

TEST(FindPauses, SilenceAtTheEdgesSplitsNothing) {
  TPauseOptions options;
  options.MinLengthMs = 30;
  options.MinTrackMs = 0;
  const auto pauses = FindPauses(MakeEnvelope("....###....###...."), options);
  ASSERT_EQ(pauses.size(), 1u);
  EXPECT_EQ(pauses[0].StartSample, 70);
  EXPECT_EQ(pauses[0].EndSample, 110);
  EXPECT_EQ(pauses[0].CutSample, 90);
}

TEST(FindPauses, MinimumTrackKeepsTheLongerOfTwoClosePauses) {
  TPauseOptions options;
  options.MinLengthMs = 20;
  options.MinTrackMs = 100;
  // Pauses of 20 ms at 120, 40 ms at 160 (too close to the first), 20 ms at 400.
  const std::string pattern = std::string(12, '#') + ".." + "##" + "...." + std::string(22, '#') +
                              ".." + std::string(12, '#');
  const auto pauses = FindPauses(MakeEnvelope(pattern), options);
  ASSERT_EQ(pauses.size(), 2u);
  EXPECT_EQ(pauses[0].StartSample, 160);
  EXPECT_EQ(pauses[1].StartSample, 420);
  // The last track would be shorter than the minimum: its pause goes.
  options.MinTrackMs = 140;
  const auto fewer = FindPauses(MakeEnvelope(pattern), options);
  ASSERT_EQ(fewer.size(), 1u);
  EXPECT_EQ(fewer[0].StartSample, 160);
}

TEST(PauseOptionsFromSettings, ReadsAndBoundsTheSettings) {
  test::SettingsGuard guard;
  Settings().SILENCEDB = -40;
  Settings().SILENCEMIN = 2500;
  Settings().SILENCEPOS = 150;  // hand-edited beyond the end of the pause
  Settings().TRACKMIN = -5;
  const TPauseOptions options = PauseOptionsFromSettings();
  EXPECT_EQ(options.ThresholdDb, -40);
  EXPECT_EQ(options.MinLengthMs, 2500);
  EXPECT_EQ(options.Position, 1.0);
  EXPECT_EQ(options.MinTrackMs, 0);
}

}  // namespace
}  // namespace zembrio
