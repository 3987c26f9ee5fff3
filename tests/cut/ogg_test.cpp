#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "core/fileio.h"
#include "cut/oggcut.h"
#include "cut/process.h"
#include "cut/statsreport.h"
#include "framebuilder.h"
#include "recordingfeedback.h"
#include "settingsguard.h"

namespace zembrio {
namespace {

constexpr int kRate = 44100;
const std::string kVcut = "/usr/bin/vcut";
const std::string kOggenc = "/usr/bin/oggenc";
const std::string kOggdec = "/usr/bin/oggdec";

// Mono 16-bit samples of a tone, as oggenc reads raw input.
void WriteTone(const std::string& path, int samples) {
  std::string data;
  for (int i = 0; i < samples; ++i) {
    auto sample = static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 0.05)));
    data += static_cast<char>(sample & 0xFF);
    data += static_cast<char>(sample >> 8);
  }
  WriteFileAtomically(path, data);
}

int64_t DecodedSamples(const std::string& ogg) {
  std::string raw = ogg + ".raw";
  EXPECT_EQ(RunAndCapture({kOggdec, "-Q", "-R", "-o", raw, ogg}, nullptr).ExitCode, 0) << ogg;
  int64_t samples = static_cast<int64_t>(std::filesystem::file_size(raw)) / 2;
  std::filesystem::remove(raw);
  return samples;
}

// A stand-in cutter: a shell script with the cutter's command line.
std::string WriteCutter(const std::string& path, const std::string& body) {
  WriteFileAtomically(path, "#!/bin/sh\n" + body + "\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  return path;
}

class OggCutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FileExists(kVcut) || !FileExists(kOggenc) || !FileExists(kOggdec)) {
      GTEST_SKIP() << "vorbis-tools not installed";
    }
    // The stand-in cutters write no Ogg stream to put comments into; the tags have tests
    // of their own with the real cutter.
    Settings().ID3V2TAG = 0;
    // Blanks, quotes and a dollar sign must reach the cutter and the script intact.
    folder_ = dir_.File("it's a \"dir\" $HOME/");
    std::filesystem::create_directory(folder_);
    source_ = folder_ + "source.ogg";
    WriteTone(dir_.File("tone.raw"), 4 * kRate);
    ASSERT_EQ(RunAndCapture({kOggenc, "-Q", "-r", "-C", "1", "-R", "44100", "-q", "0", "-o",
                             source_, dir_.File("tone.raw")},
                            nullptr)
                  .ExitCode,
              0);
    run_.SourcePath = source_;
    run_.OutputDir = folder_ + "out";
    run_.CutterPath = kVcut;
  }

  void Point(int seconds, const std::string& name) {
    TCutPoint& point = list_.Add();
    SetMilliseconds(point, seconds, 0);
    point.Name = name;
  }
  TOggResult Cut() {
    run_.Tags = Settings().ID3V2TAG == 1;
    return CutOgg(ctx_.Context, list_, run_);
  }
  std::string Out(const std::string& name) const { return run_.OutputDir + "/" + name; }
  std::vector<std::string> OutputFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(run_.OutputDir)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Status(int row) { return ctx_.Feedback.RowStatus[row]; }

  test::SettingsGuard settings_;
  test::TempDir dir_;
  std::string folder_;
  std::string source_;
  TOggRun run_;
  TCPList list_;
  test::RecordingContext ctx_;
};

TEST_F(OggCutTest, FragmentsHoldEverySampleOfTheSource) {
  Point(0, "one");
  Point(1, "two");
  Point(3, "three");
  TOggResult result = Cut();

  EXPECT_TRUE(result.Ran);
  EXPECT_FALSE(result.AnyStepFailed);
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"one.ogg", "three.ogg", "two.ogg"}));
  EXPECT_EQ(DecodedSamples(Out("one.ogg")), kRate);
  EXPECT_EQ(DecodedSamples(Out("two.ogg")), 2 * kRate);
  EXPECT_EQ(DecodedSamples(Out("three.ogg")), kRate);
  for (int row : {1, 2, 3})
    EXPECT_EQ(Status(row), "fait");

  const std::vector<std::string>& report = list_[0].Report;
  ASSERT_GE(report.size(), 6u);
  EXPECT_EQ(report[0], Out("one.ogg"));
  EXPECT_EQ(report[2], "fait");
  EXPECT_EQ(report[4], "DEBUT - vcut.exe ---------------------------------");
  EXPECT_EQ(report.back(), "FIN - vcut.exe ---------------------------------");
  EXPECT_EQ(list_[2].Report.back(), "----------------------------------");

  ASSERT_EQ(ctx_.Feedback.Reports.size(), 1u);
  const std::vector<std::string>& log = ctx_.Feedback.Reports[0];
  EXPECT_EQ(log[0].rfind("Durée proc. : ", 0), 0u);
  EXPECT_EQ(log[4], "Nom fich : " + source_);
  EXPECT_EQ(log[5], "Fréquence: 44100 Hz");
  EXPECT_EQ(log[7], "Fragment 1");
  EXPECT_EQ(log[8], Out("one.ogg"));
  EXPECT_EQ(ctx_.Feedback.ReadyCount, 1);
}

TEST_F(OggCutTest, SkippedStretchesAreCutOutAndTheirFilesDeleted) {
  Point(0, "");  // the zero point before the first named point
  Point(1, "b");
  Point(2, "");
  Point(3, "d");
  Point(5, "");  // past the end: never reached
  TOggResult result = Cut();

  EXPECT_FALSE(result.AnyStepFailed);
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"b.ogg", "d.ogg"}));
  EXPECT_EQ(DecodedSamples(Out("b.ogg")), kRate);
  EXPECT_EQ(DecodedSamples(Out("d.ogg")), kRate);
  EXPECT_EQ(Status(1), "sauté  ");
  EXPECT_EQ(Status(2), "fait");
  EXPECT_EQ(Status(3), "sauté  ");
  EXPECT_EQ(Status(4), "fait");
  EXPECT_EQ(Status(5), "");
  EXPECT_EQ(list_[4].Report, std::vector<std::string>{"  non atteint"});
  EXPECT_EQ(list_[2].Report[0], "");
  EXPECT_EQ(list_[2].Report[1], "sauté  ");
}

TEST_F(OggCutTest, BatchScriptRunByTheShellGivesTheSameFragments) {
  Point(0, "");
  Point(1, "b");
  Point(2, "");
  Point(3, "d");
  run_.BatchMode = true;
  std::string script = folder_ + "cut it.sh";
  ctx_.Questions.SaveAnswer = script;
  TOggResult result = Cut();

  EXPECT_FALSE(result.Failed);
  EXPECT_EQ(ctx_.Questions.SaveQuestions[0], run_.OutputDir + "/|" + Out("do_cut.sh"));
  EXPECT_TRUE(OutputFiles().empty());
  EXPECT_TRUE(ctx_.Feedback.Reports.empty());
  std::string text = ReadWholeFile(script);
  EXPECT_EQ(text.rfind("#!/bin/sh\n", 0), 0u);
  EXPECT_NE(text.find("rm -f -- '"), std::string::npos);
  EXPECT_TRUE((std::filesystem::status(script).permissions() &
               std::filesystem::perms::owner_exec) != std::filesystem::perms::none);

  EXPECT_EQ(RunAndCapture({"/bin/sh", script}, nullptr).ExitCode, 0);
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"b.ogg", "d.ogg"}));
  EXPECT_EQ(DecodedSamples(Out("b.ogg")), kRate);
  EXPECT_EQ(DecodedSamples(Out("d.ogg")), kRate);
}

TEST_F(OggCutTest, TheBatchScriptNeverReplacesTheSource) {
  Point(0, "a");
  Point(1, "b");
  run_.BatchMode = true;
  ctx_.Questions.SaveAnswer = folder_ + "./source.ogg";
  std::string before = ReadWholeFile(source_);
  TOggResult result = Cut();

  EXPECT_TRUE(result.Failed);
  EXPECT_EQ(ctx_.Feedback.Errors, (std::vector<std::string>{"Fichier source non écrasable!"}));
  EXPECT_EQ(ReadWholeFile(source_), before);
  EXPECT_EQ(ctx_.Feedback.ReadyCount, 1);
}

// vcut ends with 0 and writes only its first file when the offset lies past the end: that
// file is the whole rest, and the points beyond are never reached, as in an MPEG cut.
TEST_F(OggCutTest, PointsPastTheEndAreNotReached) {
  for (const bool pastIsLast : {true, false}) {
    SCOPED_TRACE(pastIsLast ? "the last point" : "two points");
    list_.Clear();
    ctx_.Feedback.RowStatus.clear();
    std::filesystem::remove_all(run_.OutputDir);
    Point(0, "a");
    Point(2, "b");
    Point(9, "c");
    if (!pastIsLast)
      Point(12, "d");
    TOggResult result = Cut();
    EXPECT_FALSE(result.AnyStepFailed);
    EXPECT_EQ(Status(1), "fait");
    EXPECT_EQ(Status(2), "fait");
    EXPECT_EQ(Status(3), "");
    EXPECT_EQ(DecodedSamples(Out("b.ogg")), 2 * kRate);
    EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"a.ogg", "b.ogg"}));
    EXPECT_EQ(list_[2].Report, std::vector<std::string>{"  non atteint"});
    EXPECT_EQ(list_.Count() - 1, pastIsLast ? 2 : 3);
    EXPECT_EQ(list_[list_.Count() - 1].Report, std::vector<std::string>{"  non atteint"});
    const std::string late = "Point de coupe au-delà de la fin de la source, non atteint : ";
    std::string said = late + "c (00m 09s 00f)";
    if (!pastIsLast)
      said += "\n" + late + "d (00m 12s 00f)";
    EXPECT_EQ(ctx_.Feedback.Messages, std::vector<std::string>{said});
    ctx_.Feedback.Messages.clear();
  }
}

// Two points at one time: vcut with offset 0 writes only its second file, and the first
// of the two points gets an empty fragment, not a failure of the chain.
TEST_F(OggCutTest, TwoPointsAtOneTimeGiveAnEmptyFragmentAndTheChainGoesOn) {
  Point(0, "a");
  Point(1, "b");
  Point(1, "c");
  Point(3, "d");
  TOggResult result = Cut();
  EXPECT_FALSE(result.AnyStepFailed);
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"a.ogg", "c.ogg", "d.ogg"}));
  EXPECT_EQ(DecodedSamples(Out("c.ogg")), 2 * kRate);
  EXPECT_EQ(DecodedSamples(Out("d.ogg")), kRate);
  EXPECT_EQ(Status(2), "vide");
  EXPECT_EQ(list_[1].Report[0], "Fragment vide : aucun fichier écrit.");
  for (int row : {1, 3, 4})
    EXPECT_EQ(Status(row), "fait");
}

TEST_F(OggCutTest, ADestinationThatCannotBeMadeFailsWithTheLogShown) {
  WriteFileAtomically(folder_ + "file", "");
  run_.OutputDir = folder_ + "file/out";
  Point(0, "a");
  Point(1, "b");
  TOggResult result = Cut();
  EXPECT_TRUE(result.Failed);
  EXPECT_EQ(ctx_.Feedback.Errors.size(), 1u);
  ASSERT_EQ(ctx_.Feedback.Reports.size(), 1u);
  EXPECT_EQ(ctx_.Feedback.Reports[0][5], "Fréquence: 44100 Hz");
  EXPECT_EQ(ctx_.Feedback.ReadyCount, 1);
}

TEST_F(OggCutTest, TheLogsElapsedTimeIsInTheLocalesLongTimeFormat) {
  Point(0, "a");
  Point(1, "b");
  Cut();
  ASSERT_EQ(ctx_.Feedback.Reports.size(), 1u);
  EXPECT_EQ(ctx_.Feedback.Reports[0][0].rfind("Durée proc. : " + FormatElapsed({}).substr(0, 2), 0),
            0u);
  EXPECT_EQ(ctx_.Feedback.Reports[0][0].size(), ("Durée proc. : " + FormatElapsed({})).size());
}

TEST_F(OggCutTest, ARelativeDestinationIsProposedOnceForTheBatchScript) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder_);
  run_.OutputDir = "out";
  run_.BatchMode = true;
  Point(0, "a");
  Point(1, "b");
  Cut();
  std::filesystem::current_path(before);
  ASSERT_EQ(ctx_.Questions.SaveQuestions.size(), 1u);
  const std::string folder = std::filesystem::canonical(folder_).string() + "/out/";
  EXPECT_EQ(ctx_.Questions.SaveQuestions[0], folder + "|" + folder + "do_cut.sh");
}

TEST_F(OggCutTest, AFailingCutterStopsTheChainAndLeavesNoTemporaryFile) {
  // Writes both files on its first run and fails on the second.
  run_.CutterPath = WriteCutter(dir_.File("cutter"),
                                "[ -e \"$0.ran\" ] && { echo broken; exit 1; }\n"
                                "touch \"$0.ran\"; : > \"$2\"; : > \"$3\"");
  for (int s : {0, 1, 2, 3})
    Point(s, "p" + std::to_string(s));
  TOggResult result = Cut();

  EXPECT_TRUE(result.AnyStepFailed);
  EXPECT_EQ(Status(1), "fait");
  EXPECT_EQ(Status(2), "** erreur**");
  EXPECT_EQ(ctx_.Feedback.RowStatus.count(3), 0u);
  EXPECT_EQ(ctx_.Feedback.RowStatus.count(4), 0u);
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"p0.ogg"}));
  EXPECT_NE(std::find(list_[1].Report.begin(), list_[1].Report.end(), "broken"),
            list_[1].Report.end());
}

TEST_F(OggCutTest, ACutterWritingMoreThanAPipeHoldsIsCapturedWhole) {
  run_.CutterPath = WriteCutter(dir_.File("chatty"),
                                "head -c 100000 /dev/zero | tr '\\0' x; echo\n"
                                ": > \"$2\"; : > \"$3\"");
  Point(0, "a");
  Point(1, "b");
  Cut();
  EXPECT_EQ(Status(1), "fait");
  EXPECT_EQ(list_[0].Report[5], std::string(100000, 'x'));
}

TEST_F(OggCutTest, AbortWhileTheCutterRunsLetsItFinishThenStops) {
  run_.CutterPath =
      WriteCutter(dir_.File("slow"), "touch \"$0.started\"; sleep 0.3; : > \"$2\"; : > \"$3\"");
  ctx_.Feedback.OnEvents = [&] {
    if (FileExists(dir_.File("slow.started")))
      ctx_.State.AbortRequested = true;
  };
  Point(0, "a");
  Point(1, "b");
  Point(2, "c");
  TOggResult result = Cut();

  EXPECT_TRUE(result.Aborted);
  const std::vector<std::string>& history = ctx_.Feedback.StatusHistory;
  EXPECT_NE(std::find(history.begin(), history.end(), "1:interrup..."), history.end());
  EXPECT_EQ(Status(1), "**   abandon  **");
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"a.ogg"}));
}

TEST_F(OggCutTest, StoppingAtTheOverwriteQuestionLeavesTheExistingFileAlone) {
  std::filesystem::create_directory(run_.OutputDir);
  WriteFileAtomically(Out("c.ogg"), "mine");
  Point(0, "a");
  Point(1, "");
  Point(2, "c");
  TOggResult result = Cut();

  EXPECT_TRUE(result.Aborted);
  EXPECT_EQ(ctx_.Questions.OverwriteNames, (std::vector<std::string>{Out("c.ogg")}));
  EXPECT_EQ(ReadWholeFile(Out("c.ogg")), "mine");
  EXPECT_EQ(Status(2), "**   abandon  **");
  EXPECT_EQ(Status(3), "**   abandon  **");
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"a.ogg", "c.ogg"}));
}

TEST_F(OggCutTest, AMissingCutterOnlyPurgesTheList) {
  run_.CutterPath = dir_.File("no-cutter");
  Point(0, "a");
  list_.Add().IsNew = true;
  TOggResult result = Cut();
  EXPECT_FALSE(result.Ran);
  EXPECT_EQ(list_.Count(), 1);
  EXPECT_EQ(
      ctx_.Feedback.Messages,
      (std::vector<std::string>{"vcut.exe non trouvé, indiquez le chemin dans les réglages. "}));
  EXPECT_TRUE(ctx_.Feedback.IdleChanges.empty());
}

}  // namespace
}  // namespace zembrio
