#include "join/join.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "core/fileio.h"
#include "core/settings.h"
#include "framebuilder.h"
#include "recordingfeedback.h"

namespace zembrio {
namespace {

using test::Bytes;

class RecordingView : public IJoinView {
 public:
  void RowChanged(int index) override {
    Changes.push_back(index);
    if (OnChange)
      OnChange(index);
  }
  std::vector<int> Changes;
  std::function<void(int)> OnChange;
};

class JoinTest : public ::testing::Test {
 protected:
  // The outputs are compared byte for byte with the inputs' frames: no header frame.
  void SetUp() override { Settings().XINGHEADER = false; }
  void TearDown() override { Settings().XINGHEADER = true; }
  std::string Write(const std::string& name, const Bytes& bytes) {
    test::WriteFile(dir_.File(name), bytes);
    return dir_.File(name);
  }
  void List(std::initializer_list<std::string> names) {
    for (const std::string& name : names)
      list_.push_back({name, dir_.Path()});
  }
  TJoinOutcome Join(const std::string& output, TJoinMode mode) {
    return RunJoin(run_.Context, list_, view_, output, mode, JoinOptionsFromSettings());
  }
  std::vector<std::string> Statuses() const {
    std::vector<std::string> statuses;
    for (const TJoinItem& item : list_)
      statuses.push_back(item.Status);
    return statuses;
  }

  test::TempDir dir_;
  test::RecordingContext run_;
  TJoinList list_;
  RecordingView view_;
  test::FrameSpec spec_;
};

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts)
    test::Append(all, part);
  return all;
}

TEST_F(JoinTest, FrameCopyDropsTagsAndRawCopyKeepsThemAFileListedTwiceComesTwice) {
  Bytes framesA = test::Frames(spec_, 30);
  Bytes framesB = test::Frames(spec_, 7);
  Bytes fileA = Concat({test::Id3v2Tag(700), framesA, test::Id3v1Tag("A")});
  Write("a.mp3", fileA);
  Write("b.mp3", framesB);
  List({"a.mp3", "b.mp3", "a.mp3"});

  EXPECT_EQ(Join(dir_.File("frames.mp3"), TJoinMode::jmFrames), TJoinOutcome::Finished);
  EXPECT_EQ(test::ReadFile(dir_.File("frames.mp3")), Concat({framesA, framesB, framesA}));
  EXPECT_EQ(Statuses(), (std::vector<std::string>{"fait", "fait", "fait"}));

  EXPECT_EQ(Join(dir_.File("raw.mp3"), TJoinMode::jmRaw), TJoinOutcome::Finished);
  EXPECT_EQ(test::ReadFile(dir_.File("raw.mp3")), Concat({fileA, framesB, fileA}));

  for (const TJoinItem& item : list_)
    EXPECT_FALSE(item.Selected);
  EXPECT_EQ(run_.Feedback.InfoTexts.back(), "Collage terminé.");
  EXPECT_EQ(run_.Feedback.IdleChanges, (std::vector<bool>{false, true, false, true}));
  EXPECT_EQ(run_.Feedback.Progress.back(), 1.0);
  EXPECT_TRUE(run_.Feedback.Errors.empty());
}

// The options are taken once before the join: the record changed during it (the settings
// dialog saved meanwhile) changes nothing in the file being written.
TEST_F(JoinTest, TheJoinKeepsTheOptionsItStartedWith) {
  const Bytes frames = test::Frames(spec_, 12);
  Write("a.mp3", frames);
  Write("b.mp3", frames);
  List({"a.mp3", "b.mp3"});
  const TJoinOptions options = JoinOptionsFromSettings();
  view_.OnChange = [](int) { Settings().XINGHEADER = true; };
  EXPECT_EQ(RunJoin(run_.Context, list_, view_, dir_.File("out.mp3"), TJoinMode::jmFrames, options),
            TJoinOutcome::Finished);
  EXPECT_TRUE(Settings().XINGHEADER);
  EXPECT_EQ(test::ReadFile(dir_.File("out.mp3")), Concat({frames, frames}));
}

TEST_F(JoinTest, BytesThatAreNotFramesArePassedOverAndMarkTheRow) {
  Bytes frames1 = test::Frames(spec_, 5);
  Bytes frames2 = test::Frames(spec_, 5);
  Write("garbage.mp3", Concat({frames1, test::Garbage(333), frames2}));
  // No frame within the first-frame search: the copy loop itself passes over the rest.
  Write("late.mp3", Concat({test::Garbage(60000), frames2}));
  List({"garbage.mp3", "late.mp3"});

  EXPECT_EQ(Join(dir_.File("out.mp3"), TJoinMode::jmFrames), TJoinOutcome::Finished);
  EXPECT_EQ(test::ReadFile(dir_.File("out.mp3")), Concat({frames1, frames2, frames2}));
  EXPECT_EQ(Statuses(), (std::vector<std::string>{"erreur(s)", "erreur(s)"}));
}

// One header describes one stream: inputs that hold no frame, or frames of another MPEG
// version, layer, sampling rate or channel count than the first, are refused before
// anything is written, with the first one that differs named.
TEST_F(JoinTest, InputsThatCannotMakeOneStreamAreRefusedAndNothingIsWritten) {
  const test::FrameSpec mono{3, 1, 9, 0, 0, 3};
  const test::FrameSpec rate48{3, 1, 9, 1, 0, 1};
  const test::FrameSpec layer2{3, 2, 9, 0, 0, 1};
  const test::FrameSpec mpeg2{2, 1, 8, 0, 0, 1};
  struct Case {
    Bytes Other;
    std::string Message;
  };
  const std::string b = dir_.File("b.mp3") + " : ";
  const Case cases[] = {
      {test::Frames(rate48, 5), b + "48000 Hz, la sortie est à 44100 Hz."},
      {test::Frames(mono, 5), b + "mono, la sortie est en stéréo."},
      {test::Frames(layer2, 5), b + "Layer 2, la sortie est en Layer 3."},
      {test::Frames(mpeg2, 5), b + "MPEG 2, la sortie est en MPEG 1."},
      {Bytes(500, 'x'), b + "aucune frame MPEG."},
  };
  Write("a.mp3", test::Frames(spec_, 5));
  Write("c.mp3", test::Frames(spec_, 5));
  for (const Case& c : cases) {
    Write("b.mp3", c.Other);
    list_.clear();
    run_.Feedback.Messages.clear();
    List({"a.mp3", "c.mp3", "b.mp3"});
    EXPECT_EQ(Join(dir_.File("out.mp3"), TJoinMode::jmFrames), TJoinOutcome::Refused);
    EXPECT_EQ(run_.Feedback.Messages, std::vector<std::string>{c.Message});
    EXPECT_FALSE(std::filesystem::exists(dir_.File("out.mp3"))) << c.Message;
  }
  // Nothing but bytes that are no frames, first in the list.
  Write("empty.mp3", {});
  list_.clear();
  run_.Feedback.Messages.clear();
  List({"empty.mp3", "a.mp3"});
  EXPECT_EQ(Join(dir_.File("out.mp3"), TJoinMode::jmFrames), TJoinOutcome::Refused);
  EXPECT_EQ(run_.Feedback.Messages,
            std::vector<std::string>{dir_.File("empty.mp3") + " : aucune frame MPEG."});
  EXPECT_FALSE(std::filesystem::exists(dir_.File("out.mp3")));
}

TEST_F(JoinTest, RawCopyOfExactBlockMultiplesAndEmptyFiles) {
  Bytes big(2 * kJoinBlockSize);
  for (size_t i = 0; i < big.size(); ++i)
    big[i] = static_cast<uint8_t>(i * 7);
  Write("big.ogg", big);
  Write("empty.ogg", {});
  List({"empty.ogg", "big.ogg", "empty.ogg"});

  EXPECT_EQ(Join(dir_.File("out.ogg"), TJoinMode::jmRaw), TJoinOutcome::Finished);
  EXPECT_EQ(test::ReadFile(dir_.File("out.ogg")), big);
  EXPECT_EQ(Statuses(), (std::vector<std::string>{"fait", "fait", "fait"}));
}

// Inputs larger than the read window go out lent from it, window after window.
TEST_F(JoinTest, RawCopyOfInputsLargerThanTheReadWindow) {
  Bytes large(3 * TInputFile::kDefaultBufferSize + 12345);
  for (size_t i = 0; i < large.size(); ++i)
    large[i] = static_cast<uint8_t>(i * 31 + i / 4099);
  Bytes odd(TInputFile::kCarryLimit + 7, 0x5A);
  Write("large.ogg", large);
  Write("odd.ogg", odd);
  List({"large.ogg", "odd.ogg", "large.ogg"});

  EXPECT_EQ(Join(dir_.File("out.ogg"), TJoinMode::jmRaw), TJoinOutcome::Finished);
  Bytes expected = large;
  expected.insert(expected.end(), odd.begin(), odd.end());
  expected.insert(expected.end(), large.begin(), large.end());
  EXPECT_EQ(test::ReadFile(dir_.File("out.ogg")), expected);
  EXPECT_EQ(Statuses(), (std::vector<std::string>{"fait", "fait", "fait"}));
}

TEST_F(JoinTest, AbortInTheSecondOfThreeFilesKeepsWhatWasWritten) {
  Bytes frames1 = test::Frames(spec_, 10);
  Write("1.mp3", frames1);
  Write("2.mp3", test::Frames(spec_, 10));
  Write("3.mp3", test::Frames(spec_, 10));
  List({"1.mp3", "2.mp3", "3.mp3"});
  // The abort arrives through event processing while the second row is being read.
  view_.OnChange = [&](int index) {
    if (index == 1 && list_[1].Status == "lecture...")
      run_.State.LastProgressUpdate = {};
  };
  run_.Feedback.OnEvents = [&] {
    if (list_[1].Status == "lecture...")
      run_.State.AbortRequested = true;
  };

  for (TJoinMode mode : {TJoinMode::jmFrames, TJoinMode::jmRaw}) {
    EXPECT_EQ(Join(dir_.File("out.mp3"), mode), TJoinOutcome::Aborted);
    EXPECT_EQ(test::ReadFile(dir_.File("out.mp3")), frames1);
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"fait", "**   abandon  **", "-"}));
    EXPECT_TRUE(list_[1].Selected);
    EXPECT_EQ(run_.Feedback.InfoTexts.back(), "Collage terminé.");
    run_.Questions.YesNoAnswers.push_back(true);  // the second round overwrites out.mp3
  }
}

TEST_F(JoinTest, AnOutputThatIsAnInputUnderAnyNameIsRefusedUntouched) {
  Bytes original = test::Frames(spec_, 4);
  Write("a.mp3", original);
  Write("b.mp3", original);
  List({"a.mp3", "b.mp3", "a.mp3"});
  std::filesystem::create_directory(dir_.File("sub"));
  std::filesystem::create_symlink(dir_.File("b.mp3"), dir_.File("link.mp3"));

  for (std::string output :
       {dir_.File("A.MP3"), dir_.File("sub/../a.mp3"), dir_.File("link.mp3")}) {
    run_.Feedback.Messages.clear();
    EXPECT_EQ(Join(output, TJoinMode::jmFrames), TJoinOutcome::Refused) << output;
    bool isB = output == dir_.File("link.mp3");
    EXPECT_EQ(run_.Feedback.Messages.size(), isB ? 1u : 2u);
    EXPECT_EQ(run_.Feedback.Messages.front(),
              "Source et but ont le même nom. Impossible de continuer.");
    EXPECT_EQ(list_[0].Selected, !isB);
    EXPECT_EQ(list_[1].Selected, isB);
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"-", "-", "-"}));
  }
  EXPECT_TRUE(run_.Questions.YesNoQuestions.empty());
  EXPECT_EQ(test::ReadFile(dir_.File("a.mp3")), original);
  EXPECT_EQ(test::ReadFile(dir_.File("b.mp3")), original);
}

TEST_F(JoinTest, AnExistingOutputIsReplacedOnlyAfterYes) {
  Bytes frames = test::Frames(spec_, 4);
  Write("a.mp3", frames);
  std::string output = Write("out.mp3", Bytes{1, 2, 3});
  List({"a.mp3"});

  EXPECT_EQ(Join(output, TJoinMode::jmFrames), TJoinOutcome::Refused);
  EXPECT_EQ(run_.Questions.YesNoQuestions.back(), output + " existe. Ecraser ?");
  EXPECT_EQ(test::ReadFile(output), (Bytes{1, 2, 3}));
  EXPECT_EQ(Statuses(), (std::vector<std::string>{"-"}));
  EXPECT_EQ(run_.Feedback.InfoTexts.back(), "Collage terminé.");

  run_.Questions.YesNoAnswers.push_back(true);
  EXPECT_EQ(Join(output, TJoinMode::jmFrames), TJoinOutcome::Finished);
  EXPECT_EQ(test::ReadFile(output), frames);
}

TEST_F(JoinTest, AFullDiskIsAnErrorAndNeverDone) {
  Write("a.mp3", test::Frames(spec_, 20));
  std::filesystem::create_symlink("/dev/full", dir_.File("full.mp3"));
  List({"a.mp3"});

  for (TJoinMode mode : {TJoinMode::jmFrames, TJoinMode::jmRaw}) {
    run_.Questions.YesNoAnswers.push_back(true);
    run_.Feedback.Errors.clear();
    EXPECT_EQ(Join(dir_.File("full.mp3"), mode), TJoinOutcome::Failed);
    ASSERT_EQ(run_.Feedback.Errors.size(), 1u);
    EXPECT_NE(list_[0].Status, "fait");
    EXPECT_TRUE(run_.State.Idle);
    EXPECT_EQ(run_.Feedback.InfoTexts.back(), "Collage terminé.");
  }
}

TEST_F(JoinTest, AMissingInputIsReportedBeforeAnythingIsWritten) {
  Write("a.mp3", test::Frames(spec_, 4));
  List({"a.mp3", "gone.mp3"});

  EXPECT_EQ(Join(dir_.File("out.mp3"), TJoinMode::jmFrames), TJoinOutcome::Failed);
  ASSERT_EQ(run_.Feedback.Errors.size(), 1u);
  EXPECT_NE(run_.Feedback.Errors[0].find("gone.mp3"), std::string::npos);
  EXPECT_FALSE(FileExists(dir_.File("out.mp3")));
  EXPECT_EQ(Statuses(), (std::vector<std::string>{"-", "-"}));
  EXPECT_EQ(run_.Feedback.ReadyCount, 1);
}

TEST_F(JoinTest, NothingHappensWithoutRowsOrOutputName) {
  EXPECT_EQ(Join(dir_.File("out.mp3"), TJoinMode::jmFrames), TJoinOutcome::Refused);
  Write("a.mp3", test::Frames(spec_, 2));
  List({"a.mp3"});
  EXPECT_EQ(Join("", TJoinMode::jmFrames), TJoinOutcome::Refused);
  EXPECT_EQ(run_.Feedback.Messages, (std::vector<std::string>{"Pas de fichiers à joindre !",
                                                              "Nom du fichier non spécifié !"}));
  EXPECT_TRUE(run_.Feedback.IdleChanges.empty());
  EXPECT_TRUE(view_.Changes.empty());
}

TEST_F(JoinTest, OutputFoldersAreCreatedAndABareNameLiesInTheCurrentFolder) {
  Bytes frames = test::Frames(spec_, 3);
  Write("a.mp3", frames);
  List({"a.mp3"});
  EXPECT_EQ(Join(dir_.File("new/deeper/out.mp3"), TJoinMode::jmFrames), TJoinOutcome::Finished);
  EXPECT_EQ(test::ReadFile(dir_.File("new/deeper/out.mp3")), frames);

  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir_.Path());
  TJoinOutcome outcome = Join("bare.mp3", TJoinMode::jmFrames);
  std::filesystem::current_path(previous);
  EXPECT_EQ(outcome, TJoinOutcome::Finished);
  EXPECT_EQ(test::ReadFile(dir_.File("bare.mp3")), frames);
}

}  // namespace
}  // namespace zembrio
