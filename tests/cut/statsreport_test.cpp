#include "cut/statsreport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "cut/overwrite.h"
#include "cut/secondhalf.h"
#include "mpegrunfixture.h"

namespace zembrio::test {
namespace {

namespace fs = std::filesystem;

using StatisticsRunTest = MpegRunTest;

// The line after the one that starts with prefix, and those that follow.
std::vector<std::string> LinesFrom(const std::vector<std::string>& lines,
                                   const std::string& first) {
  const auto at = std::find(lines.begin(), lines.end(), first);
  return at == lines.end() ? std::vector<std::string>{} : std::vector<std::string>(at, lines.end());
}

std::string Bar(int length) {
  return std::string(static_cast<size_t>(length), '|');
}

TEST_F(StatisticsRunTest, ConstantBitrateFileFillsOneRow) {
  WriteFile(source, Frames(kSpec, 1000));

  EXPECT_EQ(Stats(), RunEndOfData);

  const std::vector<std::string> report = Report();
  ASSERT_GE(report.size(), 12u);
  EXPECT_EQ(report[0].rfind("Durée proc. : ", 0), 0u);
  const std::vector<std::string> head(report.begin() + 1, report.begin() + 12);
  EXPECT_EQ(head, (std::vector<std::string>{
                      "", "Info fich:", "---------------------", "Nom fich:  " + source,
                      "MPEG Version: " + VersionTextOf(3), "MPEG Layer: 3", "Fréquence: 44100 Hz",
                      "Total frames: 1000", "Durée : " + FormatPosition(44100, 1152000),
                      "Entête VBR: non présent", "TAG ID3v1: non présent"}));
  std::vector<std::string> expectedStats = {"", "Stats frames:    ", "---------------------",
                                            "Bitrate - Frames - Pourcent. "};
  for (const int bitrate : {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}) {
    expectedStats.push_back(bitrate == 128 ? Bar(50) + "    128 - 1000 - 100.0%"
                                           : "    " + std::to_string(bitrate) + " - 0 - 0.0%");
  }
  expectedStats.push_back("Bitrate moyen:   128.0 kbps");
  EXPECT_EQ(std::vector<std::string>(report.begin() + 12, report.end()), expectedStats);
  EXPECT_EQ(rc.Feedback.StateTexts, (std::vector<std::string>{"Stats"}));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(StatisticsRunTest, MixedBitratesRoundBarsHalfToEven) {
  FrameSpec high = kSpec;
  high.BitrateIndex = 14;  // 320 kbit/s
  Bytes bytes = Frames(kSpec, 3);
  Append(bytes, Frame(high));
  WriteFile(source, bytes);

  EXPECT_EQ(Stats(), RunEndOfData);

  const std::vector<std::string> report = Report();
  EXPECT_NE(std::find(report.begin(), report.end(), Bar(38) + "    128 - 3 - 75.0%"), report.end());
  EXPECT_NE(std::find(report.begin(), report.end(), Bar(12) + "    320 - 1 - 25.0%"), report.end());
  EXPECT_EQ(report.back(), "Bitrate moyen:   176.0 kbps");
}

TEST_F(StatisticsRunTest, FrameErrorsGetTheirOwnSection) {
  WriteSourceWithGarbage(0, 60000, 20);

  EXPECT_EQ(Stats(), RunEndOfData);

  const std::vector<std::string> errors = LinesFrom(Report(), "Err.de frame:");
  ASSERT_GE(errors.size(), 3u);
  EXPECT_EQ(errors[1], "   Entête non trouvé dans la source à : 0  60000 octets sautés");
  EXPECT_EQ(errors[2], "");
}

// A file with no MPEG frame anywhere is no stream to give figures of: refused, as the cut
// refuses it.
TEST_F(StatisticsRunTest, SourceWithoutFramesIsRefused) {
  WriteFile(source, Garbage(1000));

  EXPECT_EQ(Stats(), RunFailed);

  EXPECT_EQ(Messages(), (std::vector<std::string>{kSourceWithoutFrames, "Opération avortée."}));
  EXPECT_TRUE(Report().empty());
}

TEST_F(StatisticsRunTest, CutReportListsFragmentsInsteadOfFrameStatistics) {
  WriteFile(source, Frames(kSpec, 100));
  AddPoint(0, 0, "a");
  AddPoint(10, 0, "b");

  EXPECT_EQ(Cut(), RunEndOfData);

  const std::vector<std::string> report = Report();
  for (const std::string& line : report) {
    EXPECT_NE(line.rfind("Total frames", 0), 0u);
    EXPECT_NE(line.rfind("Durée : ", 0), 0u);
    EXPECT_NE(line.rfind("Stats frames", 0), 0u);
  }
  std::vector<std::string> expected = {"", "Fragments:", "---------------------", "", "Fragment 1"};
  expected.insert(expected.end(), list[0].Report.begin(), list[0].Report.end());
  expected.insert(expected.end(), {"", "", "Fragment 2", "  non atteint", ""});
  EXPECT_EQ(LinesFrom(report, "Fragments:"),
            std::vector<std::string>(expected.begin() + 1, expected.end()));
}

TEST_F(StatisticsRunTest, DetailFileHoldsTheListingThenTheReportWithCrLf) {
  WriteFile(source, Frames(kSpec, 3));
  const std::string detail = source + ".txt";

  EXPECT_EQ(Stats(detail), RunEndOfData);

  const Bytes bytes = ReadFile(detail);
  const std::string text(bytes.begin(), bytes.end());
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
  ASSERT_EQ(lines.size(), 3 + Report().size());
  EXPECT_EQ(lines[0], "Fr:     1  S " + FormatPosition(44100, 0) + " E " +
                          FormatPosition(44100, 1152) + "  Br 128  " + Bar(9));
  EXPECT_EQ(lines[2].substr(0, 9), "Fr:     3");
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()), Report());
}

TEST_F(StatisticsRunTest, DetailFileIsNeverTheSource) {
  const Bytes original = Frames(kSpec, 10);
  WriteFile(source, original);
  fs::create_symlink(source, dir.File("link.mp3"));
  for (const std::string& detail : {source, dir.File("./song.mp3"), dir.File("link.mp3")}) {
    SCOPED_TRACE(detail);
    rc.Feedback.Messages.clear();
    EXPECT_EQ(Stats(detail), RunFailed);
    EXPECT_EQ(Messages(), (std::vector<std::string>{kSourceNotOverwritable, "Opération avortée."}));
    EXPECT_EQ(ReadFile(source), original);
    EXPECT_TRUE(rc.Feedback.Reports.empty());
  }
}

TEST_F(StatisticsRunTest, UnwritableDetailFileFailsTheRun) {
  WriteFile(source, Frames(kSpec, 10));
  fs::create_symlink("/dev/full", dir.File("full.txt"));

  EXPECT_EQ(Stats(dir.File("full.txt")), RunFailed);

  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_NE(Messages()[0].find("No space left on device"), std::string::npos) << Messages()[0];
  EXPECT_EQ(Messages()[1], "Opération avortée.");
  EXPECT_TRUE(rc.Feedback.Reports.empty());
}

// A large source is walked in two halves at once; the report must be the one a walk in one
// piece (a run with the listing) gives, whatever lies around the middle.
class SplitStatisticsTest : public StatisticsRunTest {
 protected:
  static constexpr int kFrames = 24000;  // 10 MB: above the size that is walked in halves

  int64_t Middle(const Bytes& bytes) const { return static_cast<int64_t>(bytes.size()) / 2; }

  void ExpectSameReportAsOnePiece(const Bytes& bytes) {
    rc.Feedback.Reports.clear();
    rc.Feedback.Messages.clear();
    WriteFile(source, bytes);
    ASSERT_GE(static_cast<int64_t>(bytes.size()), TSecondHalfWalk::kMinimumAudio);
    EXPECT_EQ(Stats(), RunEndOfData);
    const std::vector<std::string> split = Report();
    const std::vector<std::string> splitMessages = Messages();
    rc.Feedback.Reports.clear();
    rc.Feedback.Messages.clear();
    EXPECT_EQ(Stats(dir.File("listing.txt")), RunEndOfData);  // a listing: one walk
    const std::vector<std::string> whole = Report();
    ASSERT_GT(split.size(), 1u);
    ASSERT_EQ(split.size(), whole.size());
    // The first line is the time the run took.
    EXPECT_EQ(std::vector<std::string>(split.begin() + 1, split.end()),
              std::vector<std::string>(whole.begin() + 1, whole.end()));
    EXPECT_EQ(splitMessages, Messages());
  }
};

TEST_F(SplitStatisticsTest, CleanFramesAndBitratesOfBothHalves) {
  FrameSpec high = kSpec;
  high.BitrateIndex = 14;
  Bytes bytes = Frames(kSpec, kFrames / 2 - 3);
  for (int i = 0; i < 3000; ++i)
    Append(bytes, Frame(i % 7 == 0 ? high : kSpec));
  Append(bytes, Frames(kSpec, kFrames / 2));
  Append(bytes, Id3v1Tag());
  ExpectSameReportAsOnePiece(bytes);
}

TEST_F(SplitStatisticsTest, DamageAroundTheMiddleAndAtTheEnd) {
  for (const int64_t garbageFromMiddle : {int64_t{-500}, int64_t{-3}, int64_t{0}, int64_t{7}}) {
    SCOPED_TRACE(garbageFromMiddle);
    Bytes bytes = Frames(kSpec, kFrames);
    // A stretch of garbage overwrites frames from near the middle on: the first walk may
    // end inside it, before it or at the frame that follows it.
    const int64_t at = Middle(bytes) + garbageFromMiddle;
    std::fill(bytes.begin() + at, bytes.begin() + at + 1000, 0x20);
    std::fill(bytes.begin() + 3 * Middle(bytes) / 2, bytes.begin() + 3 * Middle(bytes) / 2 + 9,
              0x20);
    Append(bytes, Garbage(77));
    ExpectSameReportAsOnePiece(bytes);
  }
}

TEST_F(SplitStatisticsTest, ASyncPatternInsideAFrameAfterTheMiddle) {
  // The second walk starts at a false header in the data of a frame; the first walk passes
  // over it and must go on alone.
  Bytes bytes = Frames(kSpec, kFrames + 1);  // the middle lies inside a frame's data
  const int64_t falseHeader = Middle(bytes) + 10;
  ASSERT_LT(falseHeader % FrameLength(kSpec) + 4, FrameLength(kSpec));
  const Bytes header = HeaderBytes(kSpec);
  std::copy(header.begin(), header.end(), bytes.begin() + falseHeader);
  ExpectSameReportAsOnePiece(bytes);
}

TEST_F(SplitStatisticsTest, AnAbortStopsBothWalks) {
  WriteFile(source, Frames(kSpec, kFrames));
  rc.Feedback.OnEvents = [&] { rc.State.AbortRequested = true; };

  EXPECT_EQ(Stats(), RunAborted);

  EXPECT_EQ(Messages(), (std::vector<std::string>{"  Abandon ."}));
}

TEST(StatisticsText, NumbersUseTheGivenDecimalSeparator) {
  EXPECT_EQ(FormatOneDecimal(12.5, ","), "12,5");
  EXPECT_EQ(FormatOneDecimal(100.0, "."), "100.0");
  EXPECT_EQ(FormatOneDecimal(0.0, ","), "0,0");
  EXPECT_EQ(BitrateLine(128, 1, 3, ","), Bar(17) + "    128 - 1 - 33,3%");
  EXPECT_EQ(BitrateLine(64, 0, 0, "."), "    64 - 0 - 0.0%");
}

TEST(StatisticsText, ElapsedTimeIsATimeOfDayWithMilliseconds) {
  // The C locale's long time format.
  EXPECT_EQ(FormatElapsed(std::chrono::milliseconds(3723004)), "01:02:03.004");
  EXPECT_EQ(FormatElapsed(std::chrono::milliseconds(999)), "00:00:00.999");
}

}  // namespace
}  // namespace zembrio::test
