// "Statistiques..." on FLAC sources: the report of a sound file, the MD5 verdicts of a
// damaged and of an unsigned one, refusals and the abort.
#include <gtest/gtest.h>

#include <algorithm>

#include "flac/flacstats.h"
#include "flac/trackmetadata.h"
#include "flacsources.h"
#include "recordingfeedback.h"

namespace zembrio {
namespace {

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool HasLineStarting(const std::vector<std::string>& lines, const std::string& start) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.starts_with(start); });
}

class FlacStatsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveFlacTools())
      GTEST_SKIP() << "sox, flac or metaflac missing";
    test::MakeFlac(source_, 3.0, 48000, 2, 16, 1152);
    test::WriteFile(dir_.File("front.png"), test::Bytes(120, 0x33));
    test::RunTool("metaflac --set-tag=ARTIST=Groupe \"--import-picture-from=3|image/png||4x4x24|" +
                  dir_.File("front.png") + "\" " + source_);
  }

  // A copy of the source with bytes changed by change.
  std::string Altered(const std::string& name, const std::function<void(test::Bytes&)>& change) {
    test::Bytes bytes = test::ReadFile(source_);
    change(bytes);
    const std::string path = dir_.File(name);
    test::WriteFile(path, bytes);
    return path;
  }

  test::TempDir dir_;
  std::string source_ = dir_.File("source.flac");
  test::RecordingContext run_;
};

TEST_F(FlacStatsTest, ReportsTheStreamTagsAndAVerifiedMd5) {
  EXPECT_EQ(FlacStatistics(run_.Context, source_), RunEndOfData);
  ASSERT_EQ(run_.Feedback.Reports.size(), 1u);
  const std::vector<std::string>& report = run_.Feedback.Reports[0];
  for (const char* line :
       {"Fréquence: 48000 Hz", "Canaux: 2", "Résolution: 16 bits", "Taille de bloc: fixe",
        "Blocs: 1152 - 1152 échantillons", "Total frames: 125", "Total échantillons: 144000",
        "Table de recherche: présent", "Cue sheet: non présent", "MD5 source: vérifié",
        "ARTIST=Groupe", "Image 1: type 3, image/png, 4x4, 120 octets"})
    EXPECT_TRUE(HasLine(report, line)) << line;
  EXPECT_TRUE(HasLineStarting(report, "Frames: "));
  EXPECT_FALSE(HasLine(report, "Err.de frame:"));
  EXPECT_TRUE(run_.Feedback.Messages.empty());
  EXPECT_EQ(run_.Feedback.StateTexts, std::vector<std::string>{"Stats"});
  EXPECT_EQ(run_.Feedback.IdleChanges, (std::vector<bool>{false, true}));
  EXPECT_EQ(run_.Feedback.ReadyCount, 1);
}

TEST_F(FlacStatsTest, ADamagedFrameIsCountedAndTheMd5Differs) {
  const TFlacSourceMetadata meta = ReadFlacSourceMetadata(source_);
  const std::string damaged = Altered("damaged.flac", [&](test::Bytes& bytes) {
    bytes[meta.AudioOffset + (bytes.size() - meta.AudioOffset) / 2] ^= 0x5A;
  });
  EXPECT_EQ(FlacStatistics(run_.Context, damaged), RunEndOfData);
  ASSERT_EQ(run_.Feedback.Reports.size(), 1u);
  const std::vector<std::string>& report = run_.Feedback.Reports[0];
  EXPECT_TRUE(HasLine(report, "MD5 source: différent"));
  EXPECT_TRUE(HasLine(report, "Err.de frame:"));
  ASSERT_FALSE(run_.Feedback.Messages.empty());
  EXPECT_TRUE(run_.Feedback.Messages[0].starts_with("Terminé, mais avec  "));
}

TEST_F(FlacStatsTest, AnUnsetMd5IsAbsent) {
  // STREAMINFO's MD5 is its last 16 bytes, after fLaC and the block header.
  const std::string unsigned_ = Altered("nomd5.flac", [](test::Bytes& bytes) {
    std::fill(bytes.begin() + 8 + 18, bytes.begin() + 8 + 34, 0);
  });
  EXPECT_EQ(FlacStatistics(run_.Context, unsigned_), RunEndOfData);
  ASSERT_EQ(run_.Feedback.Reports.size(), 1u);
  EXPECT_TRUE(HasLine(run_.Feedback.Reports[0], "MD5 source: absent"));
}

TEST_F(FlacStatsTest, RefusalsAndAbort) {
  EXPECT_EQ(FlacStatistics(run_.Context, dir_.File("missing.flac")), RunFailed);
  EXPECT_EQ(run_.Feedback.Messages,
            (std::vector<std::string>{"Source invalide.", "Opération avortée."}));

  const std::string text = dir_.File("text.flac");
  test::WriteFile(text, test::Bytes(64, 'x'));
  run_.Feedback.Messages.clear();
  EXPECT_EQ(FlacStatistics(run_.Context, text), RunFailed);
  ASSERT_EQ(run_.Feedback.Messages.size(), 2u);
  EXPECT_EQ(run_.Feedback.Messages[0], text + " : pas un fichier FLAC.");

  run_.Feedback.Messages.clear();
  run_.Feedback.OnEvents = [this] { run_.State.AbortRequested = true; };
  EXPECT_EQ(FlacStatistics(run_.Context, source_), RunAborted);
  EXPECT_EQ(run_.Feedback.Messages, std::vector<std::string>{"  Abandon ."});
  EXPECT_TRUE(run_.Feedback.Reports.empty());
  EXPECT_TRUE(run_.State.Idle);
}

}  // namespace
}  // namespace zembrio
