#include "core/fileio.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tests/support/framebuilder.h"

namespace zembrio {
namespace {

using test::Bytes;
using test::TempDir;

Bytes Counting(size_t count) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) {
    bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  }
  return bytes;
}

TEST(InputFileTest, ReadsAndSeeksAcrossBufferEdges) {
  TempDir dir;
  const Bytes content = Counting(1000);
  test::WriteFile(dir.File("a.bin"), content);
  TInputFile file(dir.File("a.bin"), 64);  // a small buffer puts many edges in the file
  EXPECT_EQ(file.Size(), 1000);

  // Reads of awkward lengths that straddle buffer edges.
  Bytes got(1000);
  size_t at = 0;
  for (size_t step : {3, 61, 64, 65, 1, 200, 4}) {
    ASSERT_EQ(file.Read(got.data() + at, step), step);
    at += step;
  }
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + at, content.begin()));

  // A frame walk's resynchronisation: read 4 bytes, step back 3, across edges both ways.
  file.Seek(60);
  for (int64_t start = 60; start < 200; ++start) {
    uint8_t header[4];
    ASSERT_EQ(file.Read(header, 4), 4u);
    ASSERT_EQ(header[0], content[start]) << start;
    ASSERT_EQ(header[3], content[start + 3]) << start;
    file.Seek(file.Position() - 3);
  }

  // Backwards beyond the window, and a read larger than the buffer.
  file.Seek(5);
  Bytes big(500);
  ASSERT_EQ(file.Read(big.data(), big.size()), big.size());
  EXPECT_TRUE(std::equal(big.begin(), big.end(), content.begin() + 5));
  EXPECT_EQ(file.Position(), 505);
}

TEST(InputFileTest, PositionsBeyond4GiB) {
  TempDir dir;
  const std::string path = dir.File("sparse.bin");
  const int64_t far = (int64_t{5} << 30) + 3;  // past both 2 GiB and 4 GiB
  test::WriteFile(path, {});
  std::filesystem::resize_file(path, static_cast<uintmax_t>(far));
  {
    std::FILE* raw = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(raw, nullptr);
    ASSERT_EQ(fseeko(raw, static_cast<off_t>(far), SEEK_SET), 0);
    ASSERT_EQ(std::fwrite("WXYZ", 1, 4, raw), 4u);
    std::fclose(raw);
  }
  TInputFile file(path);
  EXPECT_EQ(file.Size(), far + 4);
  file.Seek(far - 2);
  char got[6];
  ASSERT_EQ(file.Read(got, sizeof got), 6u);
  EXPECT_EQ(std::string(got, 6), std::string("\0\0WXYZ", 6));
  EXPECT_EQ(file.Position(), far + 4);
}

TEST(InputFileTest, EndOfFileAndBadSeeks) {
  TempDir dir;
  test::WriteFile(dir.File("a.bin"), Counting(10));
  TInputFile file(dir.File("a.bin"), 16);
  uint8_t buffer[32];
  file.Seek(7);
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 3u);
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
  file.Seek(1000);  // beyond the end reads nothing, no error
  EXPECT_EQ(file.Read(buffer, 4), 0u);
  EXPECT_THROW(file.Seek(-1), std::system_error);

  test::WriteFile(dir.File("empty"), {});
  TInputFile empty(dir.File("empty"));
  EXPECT_EQ(empty.Size(), 0);
  EXPECT_EQ(empty.Read(buffer, 4), 0u);
}

TEST(InputFileTest, OpenFailuresCarryThePlatformText) {
  TempDir dir;
  try {
    TInputFile file(dir.File("missing.mp3"));
    FAIL() << "opened a missing file";
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
    EXPECT_NE(std::string(error.what()).find("missing.mp3"), std::string::npos);
  }
  EXPECT_THROW(TInputFile file(dir.Path()), std::system_error);  // a folder is not a file
}

TEST(OutputFileTest, WritesSmallAndLargeBlocksInOrder) {
  TempDir dir;
  const Bytes content = Counting(5000);
  {
    TOutputFile out(dir.File("o.bin"), 100);
    out.Write(content.data(), 10);
    out.Write(content.data() + 10, 95);    // crosses the buffer size
    out.Write(content.data() + 105, 400);  // larger than the buffer
    out.Write(content.data() + 505, 4495);
    EXPECT_EQ(out.Size(), 5000);
    out.Close();
    out.Close();  // a second close is harmless
    EXPECT_FALSE(out.IsOpen());
  }
  EXPECT_EQ(test::ReadFile(dir.File("o.bin")), content);
}

TEST(OutputFileTest, FullDiskIsAnError) {
  if (!std::filesystem::exists("/dev/full")) {
    GTEST_SKIP() << "no /dev/full";
  }
  const Bytes block(4096, 1);
  {
    TOutputFile out("/dev/full", 1 << 20);
    out.Write(block.data(), block.size());  // still buffered
    EXPECT_THROW(out.Close(), std::system_error);
  }
  {
    TOutputFile out("/dev/full", 1024);
    EXPECT_THROW(out.Write(block.data(), block.size()), std::system_error);
  }
}

TEST(FileFunctionsTest, AtomicWriteReplacesWholeAndLeavesNoTemporary) {
  TempDir dir;
  const std::string path = dir.File("settings.ini");
  WriteFileAtomically(path, "first version, rather long\n");
  WriteFileAtomically(path, "second\n");
  EXPECT_EQ(ReadWholeFile(path), "second\n");
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1);  // no temporary left behind
  EXPECT_THROW(WriteFileAtomically(dir.File("no/such/folder/x.ini"), "x"), std::system_error);

  // A settings file that is a link to a shared one stays a link; the shared file changes.
  const std::string shared = dir.File("shared.ini");
  const std::string link = dir.File("link.ini");
  std::filesystem::create_symlink(shared, link);
  WriteFileAtomically(link, "linked\n");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadWholeFile(shared), "linked\n");
  EXPECT_THROW(ReadWholeFile(dir.File("missing")), std::system_error);
}

TEST(FileFunctionsTest, ExistenceFoldersDeletionAndSameFile) {
  TempDir dir;
  const std::string nested = dir.File("a/b/c");
  ForceDirectories(nested);
  ForceDirectories(nested);  // existing is fine
  EXPECT_TRUE(DirectoryExists(nested));
  EXPECT_FALSE(FileExists(nested));

  const std::string file = nested + "/x.mp3";
  test::WriteFile(file, {1, 2, 3});
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_THROW(ForceDirectories(file + "/below"), std::system_error);

  EXPECT_TRUE(SameFile(file, dir.File("a/b/../b/./c/x.mp3")));
  std::filesystem::create_symlink(file, dir.File("link.mp3"));
  EXPECT_TRUE(SameFile(dir.File("link.mp3"), file));
  EXPECT_FALSE(SameFile(file, dir.File("missing.mp3")));
  EXPECT_FALSE(SameFile(dir.File("missing.mp3"), dir.File("missing.mp3")));

  EXPECT_TRUE(DeleteFile(file));
  EXPECT_FALSE(FileExists(file));
  EXPECT_FALSE(DeleteFile(file));
  EXPECT_FALSE(FileExists(""));
}

}  // namespace
}  // namespace zembrio
