// The decode that feeds a cut's MD5s: the hand-over of packed samples between its threads,
// and the MD5s it finds, against flac's own decode of the same stretches.
#include <gtest/gtest.h>

#include <thread>

#include "flac/md5feed.h"
#include "flac/pcmpipe.h"
#include "flactools.h"
#include "framebuilder.h"

namespace zembrio::test {
namespace {

// Every reader sees every chunk, in order, however small the pipe; memory is reused.
TEST(PcmChunkPipe, EveryReaderGetsEveryChunkInOrder) {
  constexpr uint64_t kChunks = 500;
  TPcmChunkPipe pipe(2, 2);
  std::thread writer([&] {
    for (uint64_t i = 0; i < kChunks; ++i) {
      std::unique_ptr<TPcmChunk> chunk = pipe.Take();
      EXPECT_EQ(chunk->Size, 0u);
      chunk->First = i;
      chunk->Bytes.assign(8, static_cast<uint8_t>(i));
      chunk->Size = 8;
      ASSERT_TRUE(pipe.Push(std::move(chunk)));
    }
    pipe.Close();
  });
  auto read = [&](size_t reader, uint64_t& seen) {
    while (const TPcmChunk* chunk = pipe.Next(reader)) {
      EXPECT_EQ(chunk->First, seen);
      EXPECT_EQ(chunk->Bytes[7], static_cast<uint8_t>(seen));
      ++seen;
    }
  };
  uint64_t seen0 = 0;
  uint64_t seen1 = 0;
  std::thread other([&] { read(1, seen1); });
  read(0, seen0);
  other.join();
  writer.join();
  EXPECT_EQ(seen0, kChunks);
  EXPECT_EQ(seen1, kChunks);
}

// A stop frees a writer held by a full pipe, and a reader waiting for more.
TEST(PcmChunkPipe, StopReleasesWriterAndReaders) {
  TPcmChunkPipe pipe(1, 1);
  ASSERT_TRUE(pipe.Push(pipe.Take()));
  bool pushed = true;
  std::thread writer([&] { pushed = pipe.Push(pipe.Take()); });
  ASSERT_NE(pipe.Next(0), nullptr);
  const TPcmChunk* afterStop = nullptr;
  std::thread reader([&] {
    // Takes the writer's chunk when it got in first, then waits for one that never comes.
    while ((afterStop = pipe.Next(0)) != nullptr) {
    }
  });
  pipe.Stop();
  writer.join();
  reader.join();
  EXPECT_EQ(afterStop, nullptr);
  (void)pushed;  // either way: the writer returned
}

class Md5FeedTest : public ::testing::TestWithParam<SourceSpec> {
 protected:
  void SetUp() override {
    if (!HaveTools({"sox", "flac"}))
      GTEST_SKIP() << "sox and flac are needed";
  }

  // The source's MD5 bytes in STREAMINFO (after "fLaC", the block header and 18 bytes).
  void SetStoredMd5(const std::string& path, uint8_t fill) {
    Bytes bytes = ReadFile(path);
    std::fill(bytes.begin() + 26, bytes.begin() + 42, fill);
    WriteFile(path, bytes);
  }

  TSourceMd5 Verdict(const std::string& path, std::vector<TSampleRange> ranges,
                     std::vector<std::array<uint8_t, 16>>* digests = nullptr) {
    const size_t count = ranges.size();
    TFlacMd5Feed feed(path, StreamInfoOf(path), std::move(ranges));
    for (size_t i = 0; digests != nullptr && i < count; ++i) {
      const auto digest = feed.Await(i, [] { return true; });
      EXPECT_TRUE(digest.has_value()) << feed.Error();
      digests->push_back(digest.value_or(std::array<uint8_t, 16>{}));
    }
    return feed.AwaitSource([] { return true; });
  }

  static std::array<uint8_t, 16> Md5Of(const SourceSpec& spec, const std::vector<uint8_t>& raw) {
    TPcmMd5 md5(spec.Channels, spec.Bits);
    md5.AddPacked(raw.data(), raw.size());
    return md5.Finish();
  }

  TempDir dir;
};

// The samples packed for every depth and channel count hash as flac's raw decode does: the
// tracks' MD5s are right, and so is the verdict on the source's own, whether it holds, was
// altered or was never stored.
TEST_P(Md5FeedTest, TrackDigestsAndSourceVerdict) {
  const SourceSpec spec = GetParam();
  const std::string source = dir.File("source.flac");
  MakeFlac(spec, source);
  const uint64_t total = StreamInfoOf(source).TotalSamples;
  // Ranges cross chunk hand-overs and frame edges; the last runs to the end.
  const std::vector<TSampleRange> ranges = {
      {0, 1}, {1, 5000}, {5000, total / 2 + 7}, {total / 2 + 7, TSampleRange::kOpenEnd}};
  std::vector<std::array<uint8_t, 16>> digests;
  EXPECT_EQ(Verdict(source, ranges, &digests), TSourceMd5::Verified);
  ASSERT_EQ(digests.size(), ranges.size());
  for (size_t i = 0; i < ranges.size(); ++i) {
    SCOPED_TRACE(i);
    const uint64_t end = ranges[i].End == TSampleRange::kOpenEnd ? 0 : ranges[i].End;
    EXPECT_EQ(digests[i], Md5Of(spec, DecodeRaw(source, ranges[i].Start, end)));
  }

  SetStoredMd5(source, 0x5A);
  EXPECT_EQ(Verdict(source, {{0, 100}}), TSourceMd5::Different);
  SetStoredMd5(source, 0);
  EXPECT_EQ(Verdict(source, {{0, 100}}), TSourceMd5::NotStored);
}

INSTANTIATE_TEST_SUITE_P(Sources, Md5FeedTest,
                         ::testing::Values(SourceSpec{44100, 2, 16, 4096, 8},
                                           SourceSpec{96000, 2, 24, 4608, 2},
                                           SourceSpec{22050, 1, 8, 1152, 3},
                                           SourceSpec{48000, 6, 16, 4096, 2}));

// A feed dropped in the middle of its decode stops at once, its threads with it.
TEST_F(Md5FeedTest, DroppedFeedStops) {
  const std::string source = dir.File("source.flac");
  MakeFlac({44100, 2, 16, 4096, 20}, source);
  { TFlacMd5Feed feed(source, StreamInfoOf(source), {{0, TSampleRange::kOpenEnd}}); }
  SUCCEED();
}

}  // namespace
}  // namespace zembrio::test
