// Faults around a cut: a source that cannot be read or shrinks under the walk, a
// destination that disappears, a full disk. Each ends the run with a clear message or the
// usual statuses; the source is never changed and nothing hangs.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "mpegrunfixture.h"
#include "tests/support/filesizelimit.h"

namespace zembrio::test {
namespace {

namespace fs = std::filesystem;

using CutFaultTest = MpegRunTest;

bool Holds(const std::vector<std::string>& lines, const std::string& part) {
  for (const std::string& line : lines) {
    if (line.find(part) != std::string::npos)
      return true;
  }
  return false;
}

// Every header read refreshes the display, so a hook runs at a known frame.
void RefreshOnEveryFrame(RecordingContext& rc, std::function<void()> hook) {
  rc.Feedback.OnEvents = [&rc, hook = std::move(hook)] {
    rc.State.LastProgressUpdate = TClock::time_point{};
    hook();
  };
}

TEST_F(CutFaultTest, ASourceThatCannotBeOpenedIsAClearError) {
  // A socket has a name in the folder but no content to read, even for root.
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  source = dir.File("socket.mp3");
  ASSERT_LT(source.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, source.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  AddPoint(0, 0, "a");
  AddPoint(1, 0, "b");

  EXPECT_EQ(Cut(), RunFailed);
  ::close(sock);

  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_NE(Messages()[0].find("socket.mp3"), std::string::npos) << Messages()[0];
  EXPECT_EQ(Messages()[1], "Opération avortée.");
  EXPECT_TRUE(rc.Feedback.RowStatus.empty());
  EXPECT_TRUE(rc.State.Idle);
}

TEST_F(CutFaultTest, ADestinationRemovedDuringTheCutFailsTheRun) {
  const Bytes bytes = Frames(kSpec, 100);
  WriteFile(source, bytes);
  AddPoint(0, 0, "a");
  AddPoint(1, 0, "b");
  RefreshOnEveryFrame(rc, [&] {
    if (fs::exists(OutputPath("a")))
      fs::remove_all(outDir);
  });

  EXPECT_EQ(Cut(), RunFailed);

  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_NE(Messages()[0].find(OutputPath("b")), std::string::npos) << Messages()[0];
  EXPECT_NE(Messages()[0].find("No such file or directory"), std::string::npos);
  EXPECT_EQ(Messages()[1], "Opération avortée.");
  EXPECT_EQ(rc.Feedback.RowStatus[2], "! erreur!");
  EXPECT_EQ(ReadFile(source), bytes);
}

TEST_F(CutFaultTest, ASourceCutShortDuringTheRunEndsAtItsNewEnd) {
  // More than the read buffer and the blocks read ahead hold, so that the walk meets the
  // new end on disk.
  const int frames = 12000;
  const int64_t frameLength = FrameLength(kSpec);
  for (const int64_t keptFrames : {int64_t{4000}, int64_t{0}}) {
    SCOPED_TRACE(keptFrames);
    WriteFile(source, Frames(kSpec, frames));
    fs::remove_all(outDir);
    list.Clear();
    rc.Feedback.Messages.clear();
    rc.Feedback.RowStatus.clear();
    AddPoint(0, 0, "a");
    AddPoint(60, 0, "b");
    bool truncated = false;
    RefreshOnEveryFrame(rc, [&] {
      if (!truncated)
        fs::resize_file(source, static_cast<uintmax_t>(keptFrames * frameLength));
      truncated = true;
    });

    EXPECT_EQ(Cut(), RunEndOfData);

    // Whatever stayed in the read buffer is copied too, but only whole frames.
    const int64_t written = static_cast<int64_t>(Output("a").size() + Output("b").size());
    EXPECT_EQ(written % frameLength, 0);
    EXPECT_LT(written, frames * frameLength);
    EXPECT_GE(written, std::min<int64_t>(keptFrames, TInputFile::kDefaultBufferSize / frameLength) *
                           frameLength);
    EXPECT_EQ(rc.Feedback.RowStatus[1], "fait");
    EXPECT_EQ(rc.Feedback.RowStatus[2], "fait");
  }
}

TEST_F(CutFaultTest, AFullDiskLeavesTheSourceAndTheDeviceAsTheyWere) {
  if (!fs::is_character_file("/dev/full"))
    GTEST_SKIP() << "no /dev/full";
  Bytes bytes = Frames(kSpec, 100);
  Append(bytes, Id3v1Tag());
  WriteFile(source, bytes);
  fs::create_directories(outDir);
  fs::create_symlink("/dev/full", OutputPath("b"));
  AddPoint(0, 0, "a");
  AddPoint(1, 0, "b");
  rc.Questions.OverwriteAnswers = {{TOverwriteChoice::Overwrite, ""}};

  EXPECT_EQ(Cut(), RunFailed);

  EXPECT_TRUE(Holds(Messages(), "No space left on device"));
  EXPECT_EQ(ReadFile(source), bytes);
  EXPECT_EQ(Output("a").size(), 38u * 417);  // closed whole before "b" began
  EXPECT_TRUE(fs::is_symlink(OutputPath("b")));
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

size_t EntriesIn(const std::string& folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
}

// The disk fills up inside "b": the error is reported, "b" is nowhere (neither under its
// name nor as a temporary file), and "a", finished before, stays whole.
TEST_F(CutFaultTest, AFullDiskLeavesNoPartialFragment) {
  WriteFile(source, Frames(kSpec, 200));
  AddPoint(0, 0, "a");
  AddPoint(1, 0, "b");
  {
    const FileSizeLimit full(60 * 417);
    EXPECT_EQ(Cut(), RunFailed);
  }
  EXPECT_TRUE(Holds(Messages(), "File too large")) << ::testing::PrintToString(Messages());
  EXPECT_EQ(Output("a").size(), 38u * 417);
  EXPECT_FALSE(fs::exists(OutputPath("b")));
  EXPECT_EQ(EntriesIn(outDir), 1u);
}

// Two rows of one name, "Ecraser tout" or not: every row is a file at the end, the later
// one under " (2)", and the report names the file written.
TEST_F(CutFaultTest, TwoRowsOfOneNameGiveTwoFiles) {
  WriteFile(source, Frames(kSpec, 200));
  for (const bool overwriteAll : {false, true}) {
    SCOPED_TRACE(overwriteAll);
    fs::remove_all(outDir);
    list.Clear();
    AddPoint(0, 0, "Intro");
    AddPoint(1, 0, "Intro");
    AddPoint(2, 0, "Intro");
    rc.Questions.OverwriteAnswers = {{TOverwriteChoice::OverwriteAll, ""}};
    if (overwriteAll) {
      fs::create_directories(outDir);
      WriteFile(OutputPath("Intro"), Garbage(3));  // from an earlier run: replaced
    }
    EXPECT_EQ(Cut(), RunEndOfData);
    EXPECT_EQ(Output("Intro").size(), 38u * 417);
    EXPECT_EQ(Output("Intro (2)").size(), 39u * 417);
    EXPECT_EQ(Output("Intro (3)").size(), 123u * 417);
    EXPECT_EQ(list[1].Report.at(0), " Nom fich: " + OutputPath("Intro (2)"));
  }
}

// A typed name longer than a file name may be: shortened, extension kept, the report
// showing the name written.
TEST_F(CutFaultTest, ANameTooLongForTheFileSystemIsShortened) {
  WriteFile(source, Frames(kSpec, 100));
  AddPoint(0, 0, std::string(300, 'x'));
  AddPoint(1, 0, "b");
  EXPECT_EQ(Cut(), RunEndOfData);
  const std::string written = OutputPath(std::string(251, 'x'));
  EXPECT_EQ(ReadFile(written).size(), 38u * 417);
  EXPECT_EQ(list[0].Report.at(0), " Nom fich: " + written);
}

}  // namespace
}  // namespace zembrio::test
