// A very large source: a sparse file of 5 GB, mostly holes, with a few real frames on both
// sides of 4 GiB and a tag at its end. The walk finds every frame at its true 64-bit
// position with a memory use that does not grow with the file.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>

#include "framebuilder.h"
#include "mpeg/mpgfile.h"

namespace zembrio::test {
namespace {

constexpr int64_t kGiB = int64_t{1} << 30;

void WriteAt(const std::string& path, int64_t offset, const Bytes& bytes) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp(offset);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

long PeakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(LargeSourceTest, ASparse5GBFileIsWalkedFramesPast4GiBAtTheirPositions) {
  TempDir dir;
  const std::string path = dir.File("huge.mp3");
  const FrameSpec spec;
  const int64_t length = FrameLength(spec);
  const int64_t size = 5 * kGiB;
  WriteFile(path, {});
  std::filesystem::resize_file(path, static_cast<uintmax_t>(size));
  // Three islands of frames: at the start, just below 4 GiB running across it, and near the
  // end before the ID3v1 tag.
  const int64_t islands[] = {0, 4 * kGiB - 2 * length - 1, size - 128 - 3 * length};
  for (const int64_t at : islands)
    WriteAt(path, at, Frames(spec, 3));
  WriteAt(path, size - 128, Id3v1Tag());

  const long memoryBefore = PeakResidentKiB();
  TMPGFile file;
  ASSERT_TRUE(file.Open(path, true));
  EXPECT_EQ(file.FileSize(), size);
  EXPECT_EQ(file.AudioSize(), size - 128);
  EXPECT_TRUE(file.HasTag());

  std::vector<int64_t> frameStarts;
  for (;;) {
    if (file.NextFrame() == EndOfData)
      break;
    frameStarts.push_back(file.Position() - 4);
    file.SkipData();
  }
  std::vector<int64_t> expected;
  for (const int64_t at : islands) {
    for (int64_t i = 0; i < 3; ++i)
      expected.push_back(at + i * length);
  }
  EXPECT_EQ(frameStarts, expected);
  EXPECT_EQ(file.FrameCount(), 9);
  EXPECT_EQ(file.EndSample(), 9 * 1152);
  EXPECT_EQ(file.SkippedBytes(), size - 128 - 9 * length);
  EXPECT_EQ(file.Position(), size - 128);
  // The walk holds one read buffer, whatever the size of the file.
  EXPECT_LT(PeakResidentKiB() - memoryBefore, 64 * 1024);
}

}  // namespace
}  // namespace zembrio::test
