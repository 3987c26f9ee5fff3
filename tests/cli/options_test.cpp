#include "cli/options.h"

#include <gtest/gtest.h>

namespace zembrio::cli {
namespace {

TCliOptions Parse(std::vector<std::string> args) {
  return ParseCommandLine(args);
}

TEST(CliOptions, CutTakesPointsWithAndWithoutNames) {
  const auto options = Parse({"cut", "a.mp3", "--point", "0=intro", "--point=1:30", "--point",
                              "2m 05s=x=y", "--dest", "out", "--dry-run"});
  EXPECT_EQ(options.Command, TCommand::Cut);
  EXPECT_EQ(options.Source, "a.mp3");
  ASSERT_EQ(options.Points.size(), 3u);
  EXPECT_EQ(options.Points[0].Time, "0");
  EXPECT_EQ(options.Points[0].Name, "intro");
  EXPECT_EQ(options.Points[1].Time, "1:30");
  EXPECT_EQ(options.Points[1].Name, "");
  // Only the first "=" separates the time from the name.
  EXPECT_EQ(options.Points[2].Name, "x=y");
  EXPECT_EQ(options.Dest.value(), "out");
  EXPECT_TRUE(options.DryRun);
}

TEST(CliOptions, CommonOptionsAnywhere) {
  const auto options = Parse({"--ini", "z.ini", "stats", "--set", "ADJUSTSTART=2", "s.mp3",
                              "--overwrite=never", "--set=MASK=%T", "--detail"});
  EXPECT_EQ(options.IniFile.value(), "z.ini");
  ASSERT_EQ(options.Settings.size(), 2u);
  EXPECT_EQ(options.Settings[1].first, "MASK");
  EXPECT_EQ(options.Settings[1].second, "%T");
  EXPECT_EQ(options.Overwrite.value(), TOverwritePolicy::Never);
  EXPECT_TRUE(options.Detail);
  EXPECT_EQ(options.DetailFile, "");
  EXPECT_EQ(Parse({"stats", "s.mp3", "--detail=d.txt"}).DetailFile, "d.txt");
}

TEST(CliOptions, JoinCollectsInputsInOrder) {
  const auto options =
      Parse({"join", "a.mp3", "--output", "all.mp3", "b.mp3", "--raw", "--", "--odd-name.mp3"});
  EXPECT_EQ(options.Output, "all.mp3");
  EXPECT_EQ(options.Inputs, (std::vector<std::string>{"a.mp3", "b.mp3", "--odd-name.mp3"}));
  EXPECT_TRUE(options.Raw);
}

TEST(CliOptions, TrackListOptionsChooseTheReader) {
  EXPECT_EQ(Parse({"cut", "a.mp3", "--cue", "a.txt"}).TrackListType, 1);
  EXPECT_EQ(Parse({"cut", "a.mp3", "--xmcd", "a.txt"}).TrackListType, 2);
  EXPECT_EQ(Parse({"cut", "a.mp3", "--text", "a.cue"}).TrackListType, 3);
  EXPECT_TRUE(Parse({"cut", "a.mp3", "--beside"}).Beside);
}

TEST(CliOptions, BadCommandLinesAreUsageErrors) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"split", "a.mp3"},
      {"cut"},
      {"cut", "a.mp3", "b.mp3"},
      {"cut", "a.mp3", "--point"},
      {"cut", "a.mp3", "--frobnicate"},
      {"cut", "a.mp3", "--cue", "a.cue", "--xmcd", "a.xmcd"},
      {"cut", "a.mp3", "--cue", "a.cue", "--point", "1:00=x"},
      {"stats", "a.mp3", "--point", "1"},
      {"stats", "a.mp3", "--overwrite", "sometimes"},
      {"stats", "a.mp3", "--set", "NOEQUALS"},
      {"join", "a.mp3"},
      {"join", "--output", "x.mp3"},
  };
  for (const auto& args : bad) {
    EXPECT_THROW(Parse(args), TUsageError) << ::testing::PrintToString(args);
  }
}

TEST(CliOptions, HelpAndVersionWinOverEverythingElse) {
  EXPECT_EQ(Parse({"cut", "--help"}).Command, TCommand::Help);
  EXPECT_EQ(Parse({"--version", "--frobnicate"}).Command, TCommand::Version);
}

}  // namespace
}  // namespace zembrio::cli
