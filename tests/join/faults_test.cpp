// Faults around a join: a full disk, a folder that cannot be made, inputs that shrink or
// vanish between the sizing and the copy. The join reports them; inputs stay untouched and
// the output holds whole frames only.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <limits>

#include "core/settings.h"
#include "framebuilder.h"
#include "join/join.h"
#include "mpeg/mpgfile.h"
#include "mpeg/xingheader.h"
#include "recordingfeedback.h"

namespace zembrio {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

class HookedView : public IJoinView {
 public:
  void RowChanged(int index) override {
    if (OnChange)
      OnChange(index);
  }
  std::function<void(int)> OnChange;
};

class JoinFaultTest : public ::testing::Test {
 protected:
  // The outputs are compared byte for byte with the inputs' frames: no header frame.
  void SetUp() override { Settings().XINGHEADER = false; }
  void TearDown() override { Settings().XINGHEADER = true; }
  std::string Write(const std::string& name, const Bytes& bytes) {
    test::WriteFile(dir_.File(name), bytes);
    list_.push_back({name, dir_.Path()});
    return dir_.File(name);
  }
  TJoinOutcome Join(const std::string& output, TJoinMode mode) {
    run_.Feedback.Errors.clear();
    return RunJoin(run_.Context, list_, view_, output, mode, JoinOptionsFromSettings());
  }
  // Runs hook once, when the row before it is done and the row itself not yet opened.
  void BeforeRow(int row, std::function<void()> hook) {
    view_.OnChange = [this, row, hook = std::move(hook)](int index) {
      if (index == row - 1 && list_[index].Status == kJoinDone)
        hook();
    };
  }

  test::TempDir dir_;
  test::RecordingContext run_;
  TJoinList list_;
  HookedView view_;
  test::FrameSpec spec_;
};

TEST_F(JoinFaultTest, AFullDiskChangesNoInput) {
  if (!fs::is_character_file("/dev/full"))
    GTEST_SKIP() << "no /dev/full";
  Bytes first = test::Frames(spec_, 20);
  test::Append(first, test::Id3v1Tag());
  const Bytes second = test::Frames(spec_, 7);
  const std::string a = Write("a.mp3", first);
  const std::string b = Write("b.mp3", second);
  fs::create_symlink("/dev/full", dir_.File("full.mp3"));

  for (TJoinMode mode : {TJoinMode::jmFrames, TJoinMode::jmRaw}) {
    run_.Questions.YesNoAnswers.push_back(true);
    EXPECT_EQ(Join(dir_.File("full.mp3"), mode), TJoinOutcome::Failed);
    ASSERT_EQ(run_.Feedback.Errors.size(), 1u);
    EXPECT_NE(run_.Feedback.Errors[0].find("No space left on device"), std::string::npos);
  }
  EXPECT_EQ(test::ReadFile(a), first);
  EXPECT_EQ(test::ReadFile(b), second);
  EXPECT_TRUE(fs::is_symlink(dir_.File("full.mp3")));
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST_F(JoinFaultTest, AnOutputFolderThatCannotBeMadeIsAnError) {
  Write("a.mp3", test::Frames(spec_, 3));
  test::WriteFile(dir_.File("plain"), {1});

  EXPECT_EQ(Join(dir_.File("plain/sub/out.mp3"), TJoinMode::jmFrames), TJoinOutcome::Failed);

  ASSERT_EQ(run_.Feedback.Errors.size(), 1u);
  EXPECT_NE(run_.Feedback.Errors[0].find("plain/sub"), std::string::npos)
      << run_.Feedback.Errors[0];
  EXPECT_TRUE(run_.State.Idle);
}

TEST_F(JoinFaultTest, AnInputCutShortAfterTheSizingGivesItsWholeFramesOnly) {
  const int64_t length = test::FrameLength(spec_);
  for (TJoinMode mode : {TJoinMode::jmFrames, TJoinMode::jmRaw}) {
    SCOPED_TRACE(mode == TJoinMode::jmRaw ? "raw" : "frames");
    list_.clear();
    Write("a.mp3", test::Frames(spec_, 10));
    const std::string b = Write("b.mp3", test::Frames(spec_, 10));
    // Four frames and a half remain: another program was rewriting it.
    BeforeRow(1, [&] { fs::resize_file(b, static_cast<uintmax_t>(4 * length + length / 2)); });
    const std::string out = dir_.File(mode == TJoinMode::jmRaw ? "raw.mp3" : "frames.mp3");

    EXPECT_EQ(Join(out, mode), TJoinOutcome::Finished);

    const Bytes joined = test::ReadFile(out);
    if (mode == TJoinMode::jmRaw) {
      EXPECT_EQ(static_cast<int64_t>(joined.size()), 14 * length + length / 2);
    } else {
      // The half frame keeps its length and ends in zeros, as at any cut-short end.
      EXPECT_EQ(static_cast<int64_t>(joined.size()), 15 * length);
    }
    EXPECT_EQ(list_[1].Status, kJoinDone);
  }
}

TEST_F(JoinFaultTest, AnInputRemovedAfterTheSizingStopsTheJoinWithItsName) {
  Write("a.mp3", test::Frames(spec_, 5));
  const std::string b = Write("b.mp3", test::Frames(spec_, 5));
  BeforeRow(1, [&] { fs::remove(b); });

  EXPECT_EQ(Join(dir_.File("out.mp3"), TJoinMode::jmFrames), TJoinOutcome::Failed);

  ASSERT_EQ(run_.Feedback.Errors.size(), 1u);
  EXPECT_NE(run_.Feedback.Errors[0].find("b.mp3"), std::string::npos);
  EXPECT_EQ(list_[0].Status, kJoinDone);
  EXPECT_EQ(test::ReadFile(dir_.File("out.mp3")).size(), 5u * test::FrameLength(spec_));
}

// Fragments whose header frame carries a crafted mark (a first frame of 2^63 - 1, more
// shared frames than the file holds) join as plain MPEG files: every frame of each.
TEST_F(JoinFaultTest, CraftedFragmentMarksAreIgnored) {
  Settings().XINGHEADER = true;
  const test::Bytes frames = test::Frames(spec_, 20);
  const test::Bytes header(frames.begin(), frames.begin() + 4);
  const auto marked = [&](TFragmentMark mark) {
    THeaderFrameFields fields;
    fields.Header = *HeaderFrameHeader({header[0], header[1], header[2], header[3]});
    fields.Frames = 20;
    fields.Mark = mark;
    const std::vector<uint8_t> frame = BuildHeaderFrame(fields);
    test::Bytes bytes(frame.begin(), frame.end());
    test::Append(bytes, frames);
    return bytes;
  };
  const int64_t huge = std::numeric_limits<int64_t>::max();
  Write("a.mp3", marked({7, huge - 5, 0, 3}));
  Write("b.mp3", marked({7, huge - 2, 5, 0}));
  Write("c.mp3", marked({9, 0, 0, 60000}));
  Write("d.mp3", marked({9, 20, 60000, 0}));
  ASSERT_EQ(Join(dir_.File("out.mp3"), TJoinMode::jmFrames), TJoinOutcome::Finished);
  TMPGFile joined;
  ASSERT_TRUE(joined.Open(dir_.File("out.mp3"), true));
  while (joined.ReadHeader() == HeaderResult::Ok)
    joined.SkipData();
  EXPECT_EQ(joined.FrameCount(), 80);
}

}  // namespace
}  // namespace zembrio
