// Faults around a cut: a source that cannot be read or shrinks under the walk, a
// destination that disappears, a full disk. Each ends the run with a clear message or the
// usual statuses; the source is never changed and nothing hangs.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

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

// Sources that hold no MPEG stream are refused before anything is written: stray sync
// patterns in noise or in PCM samples are no frames to cut.
TEST_F(CutFaultTest, SourcesWithoutAStreamAreRefusedAndNothingIsWritten) {
  Bytes wave = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (int i = 0; i < 200000; ++i) {  // a quiet 16-bit tone: full of 0xFF bytes
    const auto sample = static_cast<int16_t>(40.0 * std::sin(i * 0.0627));
    wave.push_back(static_cast<uint8_t>(sample & 0xFF));
    wave.push_back(static_cast<uint8_t>((sample >> 8) & 0xFF));
  }
  Bytes noise(3 << 20);
  std::mt19937 random(12345);
  for (uint8_t& byte : noise)
    byte = static_cast<uint8_t>(random());
  // Free format: a bitrate index of 0, every frame as long as the encoder chose.
  Bytes freeFormat;
  for (int i = 0; i < 50; ++i) {
    Append(freeFormat, {0xFF, 0xFB, 0x04, 0x44});
    Append(freeFormat, Bytes(1000, 0x55));
  }
  const std::pair<const Bytes*, const char*> cases[] = {
      {&wave, kSourceWithoutFrames},
      {&noise, kSourceWithoutFrames},
      {&freeFormat, kSourceFreeFormat},
  };
  AddPoint(0, 0, "a");
  AddPoint(1, 0, "b");
  for (const auto& [bytes, message] : cases) {
    WriteFile(source, *bytes);
    fs::remove_all(outDir);
    rc.Feedback.Messages.clear();
    EXPECT_EQ(Cut(), RunFailed) << message;
    EXPECT_EQ(Messages(), (std::vector<std::string>{message, "Opération avortée."}));
    EXPECT_FALSE(fs::exists(outDir)) << message;
    EXPECT_EQ(list[0].Report, std::vector<std::string>{"  non atteint"});
  }
  // Frames far past the first-frame search still make a source.
  WriteSourceWithGarbage(0, 200000, 20);
  fs::remove_all(outDir);
  EXPECT_EQ(Cut(), RunEndOfData);
  EXPECT_EQ(FrameCountOf(Output("a")), 20);
}

// A device or a FIFO may never end: refused by name, whatever links to it.
TEST_F(CutFaultTest, ASourceThatIsNoRegularFileIsRefused) {
  const std::string fifo = dir.File("fifo.mp3");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir.File("zero.mp3"));
  AddPoint(0, 0, "a");
  AddPoint(1, 0, "b");
  for (const std::string& path : {fifo, dir.File("zero.mp3")}) {
    source = path;
    rc.Feedback.Messages.clear();
    EXPECT_EQ(Cut(), RunFailed);
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[0], std::string(kSourceNotRegular) + " " + path);
    EXPECT_FALSE(fs::exists(outDir));
  }
}

// The search for a first frame in a long stretch without one hears an abort.
TEST_F(CutFaultTest, AnAbortStopsTheSearchForAFirstFrame) {
  WriteSourceWithGarbage(0, 8 << 20, 5);
  AddPoint(0, 0, "a");
  AddPoint(1, 0, "b");
  // The search asks every 64 KiB: going on after the abort would ask about 128 times more.
  int asked = 0;
  RefreshOnEveryFrame(rc, [this, &asked] {
    ++asked;
    rc.State.AbortRequested = true;
  });
  EXPECT_EQ(Cut(), RunAborted);
  EXPECT_EQ(Messages(), std::vector<std::string>{"  Abandon ."});
  EXPECT_LT(asked, 8);
  EXPECT_FALSE(fs::exists(OutputPath("a")));
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
