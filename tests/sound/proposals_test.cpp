#include "sound/proposals.h"

#include <gtest/gtest.h>

#include "settingsguard.h"
#include "soundsources.h"

namespace zembrio {
namespace {

TEST(EvenSplits, EveryAndPartsGiveCountsAndPositions) {
  EXPECT_EQ(SplitEvery(1000, 300), (std::vector<int64_t>{300, 600, 900}));
  EXPECT_EQ(SplitEvery(900, 300), (std::vector<int64_t>{300, 600})) << "no empty last part";
  EXPECT_TRUE(SplitEvery(1000, 0).empty());
  EXPECT_TRUE(SplitEvery(100, 300).empty());
  EXPECT_EQ(SplitParts(1000, 4), (std::vector<int64_t>{250, 500, 750}));
  EXPECT_EQ(SplitParts(10, 3), (std::vector<int64_t>{3, 6}));
  EXPECT_TRUE(SplitParts(1000, 1).empty());
  EXPECT_TRUE(SplitParts(1000, 0).empty());
  // Ten hours at 48 kHz in a thousand parts stays exact.
  const int64_t tenHours = int64_t{48000} * 36000;
  EXPECT_EQ(SplitParts(tenHours, 1000).back(), tenHours / 1000 * 999);
}

TEST(ProposedCutList, NamesComeFromTheMaskAndTimesFromSamples) {
  test::SettingsGuard guard;
  TCPList list;
  FillProposedCutList(list, {66150, 441000}, 44100);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[0].Seconds, 0);
  EXPECT_EQ(list[0].Name, "01") << "the default mask's empty title leaves no blank";
  EXPECT_EQ(list[1].Seconds, 1);
  EXPECT_EQ(list[1].Milliseconds, 500);
  EXPECT_EQ(list[1].Name, "02");
  EXPECT_EQ(list[2].Seconds, 10);
  Settings().MASK = "part %N";
  FillProposedCutList(list, {44100}, 44100);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[1].Name, "part 02");
}

TEST(MeasureSource, GivesTheLengthTheCutCounts) {
  const auto& s = test::SoundSources::Get();
  const TSourceLength mp3 = MeasureSource(s.Mp3);
  EXPECT_EQ(mp3.SampleRate, 44100);
  EXPECT_EQ(mp3.TotalSamples % 1152, 0);
  EXPECT_NEAR(static_cast<double>(mp3.TotalSamples) / 44100, test::SoundSources::kLength, 0.1);
  const TSourceLength ogg = MeasureSource(s.Ogg);
  EXPECT_EQ(ogg.TotalSamples, static_cast<int64_t>(test::SoundSources::kLength * 44100));
}

}  // namespace
}  // namespace zembrio
