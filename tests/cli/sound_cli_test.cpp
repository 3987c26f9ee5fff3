// zembrio-cli levels, silence and cut --silence|--every|--parts, from outside.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/options.h"
#include "clirunner.h"
#include "soundsources.h"

namespace zembrio::test {
namespace {

std::vector<std::vector<std::string>> Rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');)
      fields.push_back(cell);
    rows.push_back(fields);
  }
  return rows;
}

class SoundCliTest : public ::testing::Test {
 protected:
  ProcessResult Cli(std::vector<std::string> args) {
    // A track minimum that the 4-second tracks of the pattern pass.
    args.insert(args.begin(), {"--ini", dir_.File("zembrio.ini"), "--set", "TRACKMIN=2000"});
    return RunCli(args, dir_.Path());
  }
  TempDir dir_;
};

TEST_F(SoundCliTest, SilencePrintsTheListThatCutDryRunPrints) {
  const SoundSources& s = SoundSources::Get();
  for (const std::string& source : {s.Mp3, s.Ogg}) {
    SCOPED_TRACE(source);
    const auto silence = Cli({"silence", source});
    ASSERT_EQ(silence.Exit, 0) << silence.Err;
    const auto rows = Rows(silence.Out);
    ASSERT_EQ(rows.size(), 3u) << silence.Out;
    EXPECT_EQ(rows[0][0], "00m 00s 00f");
    EXPECT_EQ(rows[0][1], "01");
    EXPECT_EQ(rows[0][2].substr(0, 7), "00m 05s") << "the middle of the pause from 4 s to 6 s";
    EXPECT_EQ(rows[1][0].substr(0, 7), "00m 05s");
    EXPECT_EQ(rows[1][1], "02");
    EXPECT_EQ(rows[2][0].substr(0, 7), "00m 11s") << "inside the pause from 10.3 s to 11.8 s";
    EXPECT_EQ(rows[2][2], "(---> fin)");
    const auto dry = Cli({"cut", source, "--silence", "--dry-run"});
    EXPECT_EQ(dry.Out, silence.Out);
  }
  const auto start = Cli({"silence", s.Mp3, "--position", "0", "--min-length", "1800ms"});
  ASSERT_EQ(start.Exit, 0) << start.Err;
  ASSERT_EQ(Rows(start.Out).size(), 2u) << start.Out;
  EXPECT_EQ(Rows(start.Out)[1][0].substr(0, 7), "00m 04s");
  EXPECT_EQ(Cli({"silence", s.Mp3, "--threshold", "-100dB"}).Out.find('\n'),
            Cli({"silence", s.Mp3, "--threshold", "-100dB"}).Out.size() - 1)
      << "nothing that quiet: one fragment";
}

TEST_F(SoundCliTest, CutAtPausesWritesNumberedFragments) {
  const auto cut =
      Cli({"cut", SoundSources::Get().Mp3, "--silence", "--dest", dir_.File("out"), "--quiet"});
  ASSERT_EQ(cut.Exit, 0) << cut.Err;
  for (const char* name : {"01.mp3", "02.mp3", "03.mp3"})
    EXPECT_TRUE(std::filesystem::exists(dir_.File(std::string("out/") + name))) << name;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("out/04.mp3")));
}

TEST_F(SoundCliTest, EvenSplitsEveryTimeAndParts) {
  const std::string& mp3 = SoundSources::Get().Mp3;
  const auto every = Rows(Cli({"cut", mp3, "--every", "5s", "--dry-run"}).Out);
  ASSERT_EQ(every.size(), 4u);
  EXPECT_EQ(every[1][0], "00m 05s 00f");
  EXPECT_EQ(every[3][0], "00m 15s 00f");
  EXPECT_EQ(every[3][1], "04");
  const auto parts = Rows(Cli({"cut", mp3, "--parts", "2", "--dry-run"}).Out);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[1][0].substr(0, 7), "00m 07s");
  const auto named =
      Rows(Cli({"cut", mp3, "--parts", "2", "--dry-run", "--set", "MASK=partie %N"}).Out);
  EXPECT_EQ(named[1][1], "partie 02");
}

TEST_F(SoundCliTest, LevelsPrintOneLinePerStep) {
  const auto levels = Cli({"levels", SoundSources::Get().Ogg, "--step", "500ms"});
  ASSERT_EQ(levels.Exit, 0) << levels.Err;
  const auto rows = Rows(levels.Out);
  ASSERT_EQ(rows.size(), 32u);
  EXPECT_EQ(rows[1][0], "00m 00s 37f");
  EXPECT_GT(std::stod(rows[2][2]), -30.0);
  EXPECT_LT(std::stod(rows[9][2]), -60.0) << "4.5 s: the first pause";
  EXPECT_GE(std::stod(rows[2][1]), std::stod(rows[2][2]));
  // 10 ms steps over 15.8 s, and the encoder's padding.
  const auto mp3 = Rows(Cli({"levels", SoundSources::Get().Mp3}).Out).size();
  EXPECT_GE(mp3, 1580u);
  EXPECT_LT(mp3, 1600u);
}

TEST_F(SoundCliTest, BadSourcesAndValuesFail) {
  const auto missing = Cli({"silence", dir_.File("missing.mp3")});
  EXPECT_EQ(missing.Exit, 1);
  WriteFile(dir_.File("text.mp3"), Garbage(60000, 'x'));
  const auto text = Cli({"levels", dir_.File("text.mp3")});
  EXPECT_EQ(text.Exit, 1);
  EXPECT_NE(text.Err.find("text.mp3"), std::string::npos) << text.Err;
  const std::string& mp3 = SoundSources::Get().Mp3;
  for (const auto& args :
       std::vector<std::vector<std::string>>{{"silence", mp3, "--threshold", "loud"},
                                             {"silence", mp3, "--threshold", "6"},
                                             {"silence", mp3, "--position", "1.5"},
                                             {"cut", mp3, "--parts", "0"},
                                             {"cut", mp3, "--every", "0s"},
                                             {"levels", mp3, "--step", "0ms"}}) {
    EXPECT_EQ(Cli(args).Exit, 2) << args[2];
  }
}

TEST(SoundCliOptions, ProposalsExcludeEachOtherAndTypedPoints) {
  using cli::ParseCommandLine;
  using cli::TUsageError;
  const auto options = ParseCommandLine({"cut", "a.mp3", "--silence", "--threshold=-40"});
  EXPECT_TRUE(options.Silence);
  EXPECT_EQ(options.Threshold, "-40");
  EXPECT_THROW(ParseCommandLine({"cut", "a.mp3", "--silence", "--parts", "3"}), TUsageError);
  EXPECT_THROW(ParseCommandLine({"cut", "a.mp3", "--every", "1m", "--point", "1s=a"}), TUsageError);
  EXPECT_THROW(ParseCommandLine({"cut", "a.mp3", "--threshold", "-40"}), TUsageError);
  EXPECT_THROW(ParseCommandLine({"levels", "a.mp3", "--parts", "3"}), TUsageError);
  EXPECT_THROW(ParseCommandLine({"silence"}), TUsageError);
}

}  // namespace
}  // namespace zembrio::test
