#include "core/fileio.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include "core/readahead.h"
#include "core/writebehind.h"
#include "tests/support/framebuilder.h"

namespace zembrio {
namespace {

using test::Bytes;
using test::TempDir;

// Writes size bytes to path, each unlike its neighbours, and returns them.
Bytes WritePatternedFile(const std::string& path, size_t size) {
  Bytes content(size);
  for (size_t i = 0; i < content.size(); ++i) {
    content[i] = static_cast<uint8_t>(i * 131 + i / 509);
  }
  test::WriteFile(path, content);
  return content;
}

TEST(InputFileTest, ReadsAndSeeksAcrossBufferEdges) {
  TempDir dir;
  const Bytes content = WritePatternedFile(dir.File("a.bin"), 1000);
  TInputFile file(dir.File("a.bin"), 64);  // a small buffer puts many edges in the file
  EXPECT_EQ(file.Size(), 1000);

  Bytes got(1000);
  size_t at = 0;
  for (size_t step : {3, 61, 64, 65, 1, 200, 4}) {  // lengths that straddle the edges
    ASSERT_EQ(file.Read(got.data() + at, step), step);
    at += step;
  }
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + at, content.begin()));

  // The resynchronisation of a frame walk: read 4 bytes, step back 3, across edges.
  file.Seek(60);
  for (int64_t start = 60; start < 200; ++start) {
    uint8_t header[4];
    ASSERT_EQ(file.Read(header, 4), 4u);
    ASSERT_EQ(header[3], content[start + 3]) << start;
    file.Seek(file.Position() - 3);
  }

  file.Seek(5);  // backwards out of the window, then more than a buffer at once
  ASSERT_EQ(file.Read(got.data(), 500), 500u);
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + 500, content.begin() + 5));

  file.Seek(997);  // the end: short, then empty reads; beyond it: empty, no error
  EXPECT_EQ(file.Read(got.data(), 10), 3u);
  EXPECT_EQ(file.Read(got.data(), 10), 0u);
  file.Seek(5000);
  EXPECT_EQ(file.Read(got.data(), 4), 0u);
  EXPECT_THROW(file.Seek(-1), std::system_error);
}

TEST(InputFileTest, PeekShowsBytesInPlaceWithoutMovingOn) {
  TempDir dir;
  const Bytes content = WritePatternedFile(dir.File("a.bin"), 300);
  TInputFile file(dir.File("a.bin"), 64);
  for (int64_t at : {0, 10, 60, 61, 200, 236}) {  // inside the window and across its edge
    file.Seek(at);
    const unsigned char* bytes = file.Peek(64);
    ASSERT_NE(bytes, nullptr) << at;
    EXPECT_TRUE(std::equal(bytes, bytes + 64, content.begin() + at)) << at;
    EXPECT_EQ(file.Position(), at);
  }
  file.Seek(237);
  EXPECT_EQ(file.Peek(64), nullptr);  // fewer bytes remain
  file.Seek(0);
  EXPECT_EQ(file.Peek(65), nullptr);  // more than the buffer holds
  uint8_t first = 0;
  ASSERT_EQ(file.Read(&first, 1), 1u);
  EXPECT_EQ(first, 0);
}

// A walk that reads headers, skips frame data, peeks at frames straddling two blocks, steps
// back and jumps about; every byte it sees must be the file's at its place.
void WalkAbout(TInputFile& file, const Bytes& content) {
  std::mt19937 random(7);
  auto expectAt = [&](int64_t at, const unsigned char* bytes, size_t count) {
    ASSERT_TRUE(std::equal(bytes, bytes + count, content.begin() + at)) << at;
  };
  for (int round = 0; round < 3; ++round) {
    file.Seek(round * 1000);
    Bytes got(3000);
    while (file.Position() < static_cast<int64_t>(content.size())) {
      const unsigned step = random() % 8;
      if (step == 1) {
        file.Seek(std::max<int64_t>(file.Position() - 3, 0));  // as resynchronisation steps
      }
      const int64_t at = file.Position();
      const size_t remaining = content.size() - static_cast<size_t>(at);
      switch (step) {
        case 0:  // a frame's data in place
          if (const unsigned char* bytes = file.Peek(std::min<size_t>(2881, remaining))) {
            expectAt(at, bytes, std::min<size_t>(2881, remaining));
          }
          file.Skip(static_cast<int64_t>(random() % 3000));
          break;
        default: {
          const size_t count = std::min<size_t>(4 + random() % 2000, remaining);
          ASSERT_EQ(file.Read(got.data(), count), count);
          expectAt(at, got.data(), count);
          file.Skip(static_cast<int64_t>(random() % 500));
        }
      }
      if (random() % 200 == 0) {
        file.Seek(static_cast<int64_t>(random() % content.size()));  // elsewhere entirely
      }
    }
  }
}

TEST(InputFileTest, AWalkOverBlocksReadAheadSeesEveryByteInItsPlace) {
  // Several blocks of the smallest size that is read ahead.
  TempDir dir;
  constexpr size_t kBlock = TInputFile::kReadAheadMinimum;
  const Bytes content = WritePatternedFile(dir.File("a.bin"), kBlock * 9 + 1234);
  TInputFile file(dir.File("a.bin"), kBlock);
  WalkAbout(file, content);
}

TEST(InputFileTest, AWalkThatStoppedReadingAheadSeesEveryByteInItsPlace) {
  // A walk split between processors: probed with the large buffer, then read in smaller
  // blocks of its own from the middle of a window on.
  TempDir dir;
  const Bytes content =
      WritePatternedFile(dir.File("a.bin"), TInputFile::kDefaultBufferSize * 2 + 4321);
  TInputFile file(dir.File("a.bin"));
  Bytes head(TInputFile::kOwnReadBlock + 100);
  ASSERT_EQ(file.Read(head.data(), head.size()), head.size());
  file.StopReadingAhead();
  const unsigned char* window = file.Peek(1000);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(std::equal(window, window + 1000, content.begin() + file.Position()));
  EXPECT_EQ(file.Peek(TInputFile::kOwnReadBlock + 1), nullptr);  // larger than a block now
  WalkAbout(file, content);
}

TEST(InputFileTest, AReadOverTheEndOfAFileReadAheadGetsWhatIsLeft) {
  // Header-sized reads through a file read ahead, the last one running over its end, as
  // when a source was cut short during a walk.
  TempDir dir;
  constexpr size_t kBlock = TInputFile::kReadAheadMinimum;
  const Bytes content = WritePatternedFile(dir.File("a.bin"), kBlock * 3 + 2);
  TInputFile file(dir.File("a.bin"), kBlock);
  Bytes got;
  unsigned char header[4];
  size_t read = 0;
  while ((read = file.Read(header, sizeof header)) == sizeof header) {
    got.insert(got.end(), header, header + read);
  }
  got.insert(got.end(), header, header + read);
  EXPECT_EQ(read, 2u);
  EXPECT_EQ(got, content);
  EXPECT_EQ(file.Read(header, sizeof header), 0u);
}

TEST(InputFileTest, PositionsBeyond4GiB) {
  TempDir dir;
  const std::string path = dir.File("sparse.bin");
  const int64_t far = (int64_t{5} << 30) + 3;
  test::WriteFile(path, {});
  std::filesystem::resize_file(path, static_cast<uintmax_t>(far));
  std::ofstream(path, std::ios::binary | std::ios::app) << "WXYZ";
  TInputFile file(path);
  EXPECT_EQ(file.Size(), far + 4);
  file.Seek(far - 2);
  char got[6];
  ASSERT_EQ(file.Read(got, sizeof got), 6u);
  EXPECT_EQ(std::string(got, 6), std::string("\0\0WXYZ", 6));
}

TEST(OutputFileTest, WritesSmallAndLargeBlocksInOrder) {
  TempDir dir;
  Bytes content(5000);
  for (size_t i = 0; i < content.size(); ++i) {
    content[i] = static_cast<uint8_t>(i % 253);
  }
  TOutputFile out(dir.File("o.bin"), 100);
  size_t at = 0;
  for (size_t step : {10, 95, 400, 4495}) {  // within, across and beyond the buffer
    out.Write(content.data() + at, step);
    at += step;
  }
  EXPECT_EQ(out.Size(), 5000);
  out.Close();
  out.Close();  // a second close is harmless
  EXPECT_EQ(test::ReadFile(dir.File("o.bin")), content);
}

TEST(OutputFileTest, FullDiskIsAnError) {
  if (!std::filesystem::is_character_file("/dev/full")) {
    GTEST_SKIP() << "no /dev/full";
  }
  const Bytes block(4096, 1);
  TOutputFile buffered("/dev/full", 1 << 20);
  buffered.Write(block.data(), block.size());
  EXPECT_THROW(buffered.Close(), std::system_error);
  TOutputFile direct("/dev/full", 1024);
  EXPECT_THROW(direct.Write(block.data(), block.size()), std::system_error);
}

TEST(OutputFileTest, BytesLentFromTheReadWindowGoOutInOrder) {
  // Stretches of a source read over several blocks, lent to two outputs in turn and mixed
  // with copied bytes; the last loan is still open when the source closes.
  TempDir dir;
  constexpr size_t kBlock = TInputFile::kReadAheadMinimum;
  const Bytes content = WritePatternedFile(dir.File("a.bin"), kBlock * 7 + 999);
  TOutputFile first(dir.File("1.bin"), 1000);
  TOutputFile second(dir.File("2.bin"), 1000);
  Bytes expectFirst;
  Bytes expectSecond;
  {
    TInputFile source(dir.File("a.bin"), kBlock);
    std::mt19937 random(11);
    while (source.Position() < static_cast<int64_t>(content.size())) {
      const int64_t at = source.Position();
      const size_t count = std::min<size_t>(1 + random() % 3000, content.size() - at);
      const unsigned char* bytes = source.Peek(count);
      ASSERT_NE(bytes, nullptr);
      const bool toFirst = random() % 5 != 0;
      TOutputFile& output = toFirst ? first : second;
      Bytes& expect = toFirst ? expectFirst : expectSecond;
      if (random() % 10 == 0) {
        const Bytes copied(3, static_cast<uint8_t>(at));
        output.Write(copied.data(), copied.size());
        expect.insert(expect.end(), copied.begin(), copied.end());
      }
      output.WriteLent(source, bytes, count);
      expect.insert(expect.end(), content.begin() + at, content.begin() + at + count);
      source.Skip(static_cast<int64_t>(count + random() % 40));
      if (random() % 50 == 0) {  // a jump refills the buffer that holds the loan
        source.Seek(static_cast<int64_t>(random() % content.size()));
      }
    }
  }
  // Another file takes the blocks of the closed source and fills them.
  test::WriteFile(dir.File("b.bin"), Bytes(kBlock * 3, 0xEE));
  TInputFile other(dir.File("b.bin"), kBlock);
  while (other.Peek(kBlock) != nullptr) {
    other.Skip(kBlock);
  }
  EXPECT_EQ(first.Size(), static_cast<int64_t>(expectFirst.size()));
  first.Close();
  second.Close();
  EXPECT_EQ(test::ReadFile(dir.File("1.bin")), expectFirst);
  EXPECT_EQ(test::ReadFile(dir.File("2.bin")), expectSecond);
}

TEST(OutputFileTest, AFullDiskUnderLentBytesShowsAtTheNextCall) {
  if (!std::filesystem::is_character_file("/dev/full")) {
    GTEST_SKIP() << "no /dev/full";
  }
  TempDir dir;
  test::WriteFile(dir.File("a.bin"), Bytes(100, 9));
  TOutputFile output("/dev/full");
  {
    TInputFile source(dir.File("a.bin"));
    output.WriteLent(source, source.Peek(100), 100);
  }  // the loan is written out as the source closes
  EXPECT_THROW(output.Close(), std::system_error);
}

// Lends every byte of a source of size bytes, in pieces of up to 9000, to output, with a few
// bytes of its own written between loans now and then; returns what output must hold.
Bytes LendWholeFile(TInputFile& source, TOutputFile& output, const Bytes& content) {
  Bytes expect;
  std::mt19937 random(5);
  while (source.Position() < static_cast<int64_t>(content.size())) {
    const int64_t at = source.Position();
    const size_t count = std::min<size_t>(1 + random() % 9000, content.size() - at);
    const unsigned char* bytes = source.Peek(count);
    EXPECT_NE(bytes, nullptr);
    if (bytes == nullptr)
      break;
    if (random() % 40 == 0) {
      const Bytes own(7, static_cast<uint8_t>(at));
      output.Write(own.data(), own.size());
      expect.insert(expect.end(), own.begin(), own.end());
    }
    output.WriteLent(source, bytes, count);
    expect.insert(expect.end(), content.begin() + at, content.begin() + at + count);
    source.Skip(static_cast<int64_t>(count));
  }
  return expect;
}

TEST(OutputFileTest, ADiscardedOutputStopsItsWritesAndLeavesNothing) {
  TempDir dir;
  const Bytes content = WritePatternedFile(dir.File("a.bin"), size_t{9} << 20);
  {
    TOutputFile output(dir.File("out.bin"));
    TInputFile source(dir.File("a.bin"));
    LendWholeFile(source, output, content);
    output.Discard();
    EXPECT_THROW(output.Write("x"), std::system_error);
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_EQ(entry.path().filename(), "a.bin");
}

TEST(OutputFileTest, WindowsLeftWhileTheirBytesAreWrittenKeepThemUntilWritten) {
  // Whole windows lent at once: the walk runs through the blocks read ahead faster than the
  // output writes what earlier windows lent. The source closes first, and other reads then
  // take its blocks.
  TempDir dir;
  const Bytes content = WritePatternedFile(dir.File("a.bin"), size_t{20} << 20);
  TOutputFile output(dir.File("out.bin"));
  {
    TInputFile source(dir.File("a.bin"));
    constexpr size_t kPiece = TInputFile::kDefaultBufferSize / 2;
    for (size_t at = 0; at < content.size(); at += kPiece) {
      const unsigned char* bytes = source.Peek(kPiece);
      ASSERT_NE(bytes, nullptr);
      output.WriteLent(source, bytes, kPiece);
      source.Skip(kPiece);
    }
  }
  test::WriteFile(dir.File("b.bin"), Bytes(size_t{6} << 20, 0xEE));
  TInputFile other(dir.File("b.bin"));
  while (other.Peek(1 << 16) != nullptr)
    other.Skip(1 << 16);
  output.Close();
  EXPECT_TRUE(test::ReadFile(dir.File("out.bin")) == content);
}

// A lender that would wait for its stretches writes those not begun itself, up to its
// fence and no further; the rest are dropped when the writing stops.
TEST(WriteBehindTest, AFenceIsPassedByWritingWhatIsNotBegun) {
  TempDir dir;
  TFd fd(::open(dir.File("out.bin").c_str(), O_WRONLY | O_CREAT, 0644));
  ASSERT_TRUE(fd.IsOpen());
  const Bytes first(5000, 1);
  const Bytes second(3000, 2);
  auto queue = std::make_shared<TWriteQueue>(fd.Get());  // no thread: only the lender writes
  const TWriteFence fence{queue, queue->Add({first.data(), first.size(), 0})};
  const uint64_t last = queue->Add({second.data(), second.size(), 5000});
  EXPECT_FALSE(fence.Passed());
  EXPECT_FALSE(queue->Idle());
  fence.Wait();
  EXPECT_TRUE(fence.Passed());
  EXPECT_FALSE(queue->Through(last));
  EXPECT_EQ(test::ReadFile(dir.File("out.bin")), first);
  queue->Stop();
  EXPECT_TRUE(queue->Through(last));
  EXPECT_EQ(test::ReadFile(dir.File("out.bin")), first);

  // With its thread, every stretch is written once, whoever writes it; a writer that has
  // gone leaves every fence passed.
  TWriteFence afterwards;
  EXPECT_TRUE(afterwards.Passed());
  {
    TWriteBehind writer(fd.Get());
    for (int i = 0; i < 64; ++i) {
      writer.Add({second.data(), second.size(), 5000 + int64_t{3000} * i});
      if (i % 8 == 0)
        writer.Fence().Wait();
    }
    EXPECT_EQ(writer.Wait(), 0);
    EXPECT_EQ(std::filesystem::file_size(dir.File("out.bin")), 5000u + 3000u * 64u);
    writer.Add({second.data(), second.size(), 0});
    afterwards = writer.Fence();
  }
  EXPECT_TRUE(afterwards.Passed());
}

TEST(WriteBehindTest, AFailedStretchDropsTheLaterOnes) {
  TempDir dir;
  test::WriteFile(dir.File("ro.bin"), Bytes(10, 0));
  TFd readOnly(::open(dir.File("ro.bin").c_str(), O_RDONLY));
  const Bytes bytes(100, 3);
  TWriteQueue queue(readOnly.Get());
  queue.Add({bytes.data(), bytes.size(), 0});
  const uint64_t last = queue.Add({bytes.data(), bytes.size(), 100});
  queue.Finish(last);
  EXPECT_EQ(queue.Failure(), EBADF);
  EXPECT_TRUE(queue.Idle());
}

// Reads the thread has not begun are made by the one that waits for them, and a read let
// go before it began is not made at all.
TEST(ReadAheadTest, WaitingForAReadNotBegunMakesIt) {
  TempDir dir;
  constexpr size_t kBlock = 1 << 16;
  const Bytes content = WritePatternedFile(dir.File("a.bin"), kBlock * 6);
  TFd fd(::open(dir.File("a.bin").c_str(), O_RDONLY));
  const std::string path = dir.File("a.bin");
  TReadAhead reads(fd.Get(), path, kBlock + 16, 16, 3);
  for (int round = 0; round < 2; ++round) {
    for (int slot = 0; slot < 3; ++slot)
      reads.Start(slot, int64_t{kBlock} * (3 * round + slot));
    for (const int slot : {2, 0, 1}) {  // the last one started first: usually not begun
      int error = -1;
      ASSERT_EQ(reads.Wait(slot, error), kBlock);
      EXPECT_EQ(error, 0);
      const unsigned char* got = reads.Buffer(slot).data() + 16;
      const auto from = content.begin() + static_cast<long>(kBlock * (3 * round + slot));
      EXPECT_TRUE(std::equal(from, from + kBlock, got)) << "slot " << slot;
    }
  }
  reads.Start(0, 0);
  reads.Forget(0);
}

TEST(FileFunctionsTest, AtomicWriteReplacesWholeAndKeepsLinks) {
  TempDir dir;
  const std::string path = dir.File("settings.ini");
  WriteFileAtomically(path, "first version, rather long\n");
  WriteFileAtomically(path, "second\n");
  EXPECT_EQ(ReadWholeFile(path), "second\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);  // no temp

  // A settings file that links to a shared one stays a link; the shared file changes.
  std::filesystem::create_symlink(dir.File("shared.ini"), dir.File("link.ini"));
  WriteFileAtomically(dir.File("link.ini"), "linked\n");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.ini")));
  EXPECT_EQ(ReadWholeFile(dir.File("shared.ini")), "linked\n");

  EXPECT_THROW(WriteFileAtomically(dir.File("no/such/folder/x.ini"), "x"), std::system_error);
}

TEST(FileFunctionsTest, FailuresCarryThePlatformText) {
  TempDir dir;
  try {
    TInputFile file(dir.File("missing.mp3"));
    FAIL() << "opened a missing file";
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
    EXPECT_NE(std::string(error.what()).find("missing.mp3"), std::string::npos);
  }
  EXPECT_THROW(TInputFile folder(dir.Path()), std::system_error);
  EXPECT_THROW(ReadWholeFile(dir.File("missing")), std::system_error);
}

TEST(FileFunctionsTest, FoldersAndSameFile) {
  TempDir dir;
  const std::string nested = dir.File("a/b/c");
  ForceDirectories(nested);
  ForceDirectories(nested);
  EXPECT_TRUE(DirectoryExists(nested));
  const std::string file = nested + "/x.mp3";
  test::WriteFile(file, {1, 2, 3});
  EXPECT_THROW(ForceDirectories(file + "/below"), std::system_error);

  std::filesystem::create_symlink(file, dir.File("link.mp3"));
  EXPECT_TRUE(SameFile(dir.File("link.mp3"), dir.File("a/b/../b/./c/x.mp3")));
  EXPECT_FALSE(SameFile(dir.File("missing.mp3"), dir.File("missing.mp3")));
}

}  // namespace
}  // namespace zembrio
