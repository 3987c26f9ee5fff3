#include "mpeg/mpgfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "tests/mpeg/walk.h"
#include "tests/support/framebuilder.h"

namespace zembrio {
namespace {

using test::Append;
using test::Bytes;
using test::FrameSpec;
using test::TempDir;

const FrameSpec kCbr;  // MPEG-1 Layer III, 128 kbit/s, 44100 Hz, joint stereo: 417 bytes
const FrameSpec kMono{3, 1, 9, 0, 0, 3};

class MpgFileTest : public ::testing::Test {
 protected:
  // Writes bytes to a file and opens it.
  bool Open(const Bytes& bytes, bool skipVbrHeader = true) {
    test::WriteFile(dir_.File("in.mp3"), bytes);
    return file_.Open(dir_.File("in.mp3"), skipVbrHeader);
  }

  TempDir dir_;
  TMPGFile file_;
};

TEST_F(MpgFileTest, WalksCleanFramesAndCountsThem) {
  Bytes bytes = test::Frames(kCbr, 10);
  Append(bytes, test::Frame({3, 1, 11, 0, 1, 1}));  // 192 kbit/s with padding
  ASSERT_TRUE(Open(bytes));
  EXPECT_FALSE(file_.HasTag);
  EXPECT_FALSE(file_.HasVBRHeader);
  EXPECT_EQ(file_.FirstFramePos, 0);
  EXPECT_EQ(file_.Position(), 0);
  test::WalkToEnd(file_);
  EXPECT_EQ(file_.FrameCount, 11);
  EXPECT_EQ(file_.BitrateCount[9], 10);
  EXPECT_EQ(file_.BitrateCount[11], 1);
  EXPECT_EQ(file_.StartSample, 10 * 1152);
  EXPECT_EQ(file_.EndSample, 11 * 1152);
  EXPECT_EQ(file_.SkippedBytes, 0);
  EXPECT_EQ(file_.RefSampleRate, 44100);
  EXPECT_EQ(file_.BitrateTable[9], 128);
  EXPECT_EQ(file_.VersionText(), "1 (ISO/IEC 11172-3)");
  EXPECT_DOUBLE_EQ(file_.Progress(), 1.0);
}

TEST_F(MpgFileTest, Id3v1TagEndsTheAudioAndIsKept) {
  Bytes bytes = test::Frames(kCbr, 3);
  Append(bytes, test::Id3v1Tag("Chanson"));
  ASSERT_TRUE(Open(bytes));
  EXPECT_TRUE(file_.HasTag);
  EXPECT_EQ(file_.AudioSize, 3 * 417);
  EXPECT_EQ(file_.FileSize(), 3 * 417 + 128);
  test::WalkToEnd(file_);
  EXPECT_EQ(file_.FrameCount, 3);
  EXPECT_EQ(file_.SkippedBytes, 0);

  TOutputFile out(dir_.File("tag.bin"));
  file_.WriteTag(out);
  out.Close();
  const Bytes tag = test::ReadFile(dir_.File("tag.bin"));
  EXPECT_EQ(Bytes(tag.begin(), tag.begin() + 10), Bytes(bytes.end() - 128, bytes.end() - 118));
}

TEST_F(MpgFileTest, SizesBeyond4GiB) {
  // Frames at the start, a hole, and an ID3v1 tag past 4 GiB: the probe reads the tag there.
  const std::string path = dir_.File("huge.mp3");
  test::WriteFile(path, test::Frames(kCbr, 3));
  const int64_t tagAt = int64_t{4} << 30 | 12345;
  std::filesystem::resize_file(path, static_cast<uintmax_t>(tagAt));
  {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    const Bytes tag = test::Id3v1Tag();
    out.write(reinterpret_cast<const char*>(tag.data()), static_cast<std::streamsize>(tag.size()));
  }
  ASSERT_TRUE(file_.Open(path, true));
  EXPECT_TRUE(file_.HasTag);
  EXPECT_EQ(file_.AudioSize, tagAt);
  EXPECT_EQ(file_.FileSize(), tagAt + 128);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(file_.ReadHeader(), Ok);
    file_.SkipData();
  }
  EXPECT_GT(file_.Progress(), 0.0);
}

TEST_F(MpgFileTest, TinyAndTagOnlyFiles) {
  ASSERT_FALSE(Open(test::Id3v1Tag()));  // exactly 128 bytes beginning with "TAG"
  EXPECT_TRUE(file_.HasTag);
  EXPECT_EQ(file_.AudioSize, 0);
  EXPECT_DOUBLE_EQ(file_.Progress(), 0.0);

  TMPGFile shortFile;
  test::WriteFile(dir_.File("short.mp3"), Bytes{'T', 'A', 'G', 1, 2});
  EXPECT_FALSE(shortFile.Open(dir_.File("short.mp3"), true));
  EXPECT_FALSE(shortFile.HasTag);
  EXPECT_EQ(shortFile.AudioSize, 5);
}

TEST_F(MpgFileTest, FirstFrameIsSearchedWithinTheFirst50000Bytes) {
  Bytes bytes = test::Garbage(10000);
  Append(bytes, test::Frames(kCbr, 3));
  ASSERT_TRUE(Open(bytes));
  EXPECT_EQ(file_.FirstFramePos, 10000);
  EXPECT_EQ(file_.SkippedBytes, 0);  // the search's bytes are not counted
  test::WalkToEnd(file_);
  EXPECT_EQ(file_.FrameCount, 3);

  Bytes at49996 = test::Garbage(49996);
  Append(at49996, test::Frames(kCbr, 2));
  TMPGFile last;
  test::WriteFile(dir_.File("49996.mp3"), at49996);
  ASSERT_TRUE(last.Open(dir_.File("49996.mp3"), true));
  EXPECT_EQ(last.FirstFramePos, 49996);

  // One byte further is too far. The walk goes on from where the search stopped, inside
  // that first frame, and resynchronises on the next one.
  Bytes at49997 = test::Garbage(49997);
  Append(at49997, test::Frames(kCbr, 3));
  ASSERT_FALSE(Open(at49997));
  EXPECT_EQ(file_.Position(), 50000);
  EXPECT_EQ(file_.SkippedBytes, 49996);
  test::WalkToEnd(file_);
  EXPECT_EQ(file_.FrameCount, 2);
  EXPECT_EQ(file_.SkippedBytes, 49996 + 414);
}

TEST_F(MpgFileTest, Id3v2TagIsPassedOverWholeEvenWithSyncPatternsInside) {
  // A picture-like payload full of FF FB pairs, larger than the search window.
  Bytes bytes = test::Id3v2Tag(60000, true);
  Append(bytes, test::Garbage(49996 - 1000));
  Append(bytes, test::Frames(kCbr, 5));
  ASSERT_TRUE(Open(bytes));
  EXPECT_EQ(file_.Id3v2Size, 60010);
  EXPECT_EQ(file_.FirstFramePos, 60010 + 48996);
  test::WalkToEnd(file_);
  EXPECT_EQ(file_.FrameCount, 5);
  EXPECT_EQ(file_.SkippedBytes, 0);

  // The footer flag adds ten bytes to the tag.
  Bytes withFooter = test::Id3v2Tag(100);
  withFooter[5] = 0x10;
  Append(withFooter, test::Garbage(10));
  Append(withFooter, test::Frames(kCbr, 2));
  ASSERT_TRUE(Open(withFooter));
  EXPECT_EQ(file_.Id3v2Size, 120);
  EXPECT_EQ(file_.FirstFramePos, 120);

  // A size byte with its top bit set is no tag: the bytes are searched as they are.
  Bytes notATag = test::Id3v2Tag(100);
  notATag[9] = 0x80;
  Append(notATag, test::Frames(kCbr, 2));
  ASSERT_TRUE(Open(notATag));
  EXPECT_EQ(file_.Id3v2Size, 0);
  EXPECT_EQ(file_.FirstFramePos, 110);
}

TEST_F(MpgFileTest, FalseSyncInJunkDoesNotBecomeTheReference) {
  // An MPEG-2 header in junk, then MPEG-1 frames: taken as reference it would refuse them all.
  Bytes bytes = test::Garbage(300);
  Append(bytes, test::HeaderBytes({2, 1, 8, 0, 0, 1}));
  Append(bytes, test::Garbage(500));
  const auto realStart = static_cast<int64_t>(bytes.size());
  Append(bytes, test::Frames(kCbr, 4));
  ASSERT_TRUE(Open(bytes));
  EXPECT_EQ(file_.FirstFramePos, realStart);
  test::WalkToEnd(file_);
  EXPECT_EQ(file_.FrameCount, 4);
  EXPECT_EQ(file_.RefVersion, 3);

  // A lone frame, or one whose successor lies past the end, is still found.
  ASSERT_TRUE(Open(test::Frame(kCbr)));
  Bytes cut = test::Frames(kCbr, 2);
  cut.resize(417 + 3);
  ASSERT_TRUE(Open(cut));
}

TEST_F(MpgFileTest, GarbageBetweenFramesIsSkippedByteByByte) {
  Bytes bytes = test::Frames(kCbr, 2);
  Append(bytes, test::Garbage(777, 0xFF));  // sync bytes without a valid header
  Append(bytes, test::Frames(kCbr, 3));
  ASSERT_TRUE(Open(bytes));
  test::WalkToEnd(file_);
  EXPECT_EQ(file_.FrameCount, 5);
  EXPECT_EQ(file_.SkippedBytes, 777);
}

TEST_F(MpgFileTest, FramesOfAnotherRateAreSkippedLikeGarbage) {
  Bytes bytes = test::Frames(kCbr, 3);
  const Bytes other = test::Frames({3, 1, 9, 1, 0, 1}, 2);  // 48000 Hz
  Append(bytes, other);
  Append(bytes, test::Frames(kCbr, 1));
  ASSERT_TRUE(Open(bytes));
  test::WalkToEnd(file_);
  EXPECT_EQ(file_.FrameCount, 4);
  EXPECT_EQ(file_.SkippedBytes, static_cast<int64_t>(other.size()));
}

TEST_F(MpgFileTest, ShortLastFrameIsWrittenAtFullLengthWithZeros) {
  Bytes bytes = test::Frames(kCbr, 2);
  bytes.resize(417 + 100);
  ASSERT_TRUE(Open(bytes));
  ASSERT_EQ(file_.ReadHeader(), Ok);
  file_.SkipData();
  ASSERT_EQ(file_.ReadHeader(), Ok);
  EXPECT_EQ(file_.DataLength, 96);
  EXPECT_EQ(file_.FullDataLength, 413);
  file_.ReadData();
  {
    TOutputFile out(dir_.File("out.mp3"));
    file_.WriteFrame(out);
    out.Close();
  }
  const Bytes written = test::ReadFile(dir_.File("out.mp3"));
  ASSERT_EQ(written.size(), 417u);
  EXPECT_TRUE(std::equal(written.begin(), written.begin() + 100, bytes.begin() + 417));
  EXPECT_TRUE(std::all_of(written.begin() + 100, written.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(file_.ReadHeader(), EndOfData);

  // The ID3v1 tag cuts a frame short just as the end of the file does.
  Bytes tagged = test::Frames(kCbr, 1);
  tagged.resize(200);
  Append(tagged, test::Id3v1Tag());
  ASSERT_TRUE(Open(tagged));
  ASSERT_EQ(file_.ReadHeader(), Ok);
  EXPECT_EQ(file_.DataLength, 196);
}

TEST_F(MpgFileTest, WrittenFramesAreTheSourceBytes) {
  Bytes bytes = test::Garbage(50);
  Append(bytes, test::Frames(kCbr, 6));
  Append(bytes, test::Garbage(33));
  Append(bytes, test::Frames({3, 1, 14, 0, 1, 3}, 4));
  ASSERT_TRUE(Open(bytes));
  {
    TOutputFile out(dir_.File("copy.mp3"));
    test::WalkToEnd(file_, &out);
    out.Close();
  }
  Bytes expected(bytes.begin() + 50, bytes.begin() + 50 + 6 * 417);
  Append(expected, test::Frames({3, 1, 14, 0, 1, 3}, 4));
  EXPECT_EQ(test::ReadFile(dir_.File("copy.mp3")), expected);
}

struct VbrCase {
  FrameSpec spec;
  const char* tag;
  bool found;
};

TEST_F(MpgFileTest, VbrHeadersAreFoundAtTheirOffsetOnly) {
  const FrameSpec mpeg2{2, 1, 8, 0, 0, 1};
  const FrameSpec mpeg2Mono{2, 1, 8, 0, 0, 3};
  const VbrCase cases[] = {
      {kCbr, "Xing", true},  {kCbr, "Info", true},  {kCbr, "VBRI", true},
      {kMono, "Xing", true}, {mpeg2, "Info", true}, {mpeg2Mono, "Xing", true},
      {kCbr, "xing", false}, {kCbr, "LAME", false},
  };
  for (const VbrCase& c : cases) {
    Bytes bytes = test::VbrFrame(c.spec, c.tag);
    Append(bytes, test::Frames(c.spec, 3));
    ASSERT_TRUE(Open(bytes)) << c.tag;
    EXPECT_EQ(file_.HasVBRHeader, c.found) << c.tag << " version " << c.spec.VersionId;
  }

  // "VBRI" at the stereo offset of a single-channel frame is not where it is looked for.
  Bytes mono = test::Frame(kMono, 0);
  std::copy_n("VBRI", 4, mono.begin() + 4 + 32);
  Append(mono, test::Frames(kMono, 2));
  ASSERT_TRUE(Open(mono));
  EXPECT_FALSE(file_.HasVBRHeader);
}

TEST_F(MpgFileTest, SkippingTheVbrHeaderFrameStartsTheWalkAfterIt) {
  Bytes bytes = test::VbrFrame(kCbr, "Xing");
  Append(bytes, test::Frames({3, 1, 11, 0, 0, 1}, 4));  // 192 kbit/s

  ASSERT_TRUE(Open(bytes, true));
  EXPECT_TRUE(file_.HasVBRHeader);
  EXPECT_EQ(file_.FirstFramePos, 417);
  test::WalkToEnd(file_);
  EXPECT_EQ(file_.FrameCount, 4);
  EXPECT_EQ(file_.BitrateCount[9], 0);

  ASSERT_TRUE(Open(bytes, false));
  EXPECT_TRUE(file_.HasVBRHeader);
  EXPECT_EQ(file_.FirstFramePos, 0);
  test::WalkToEnd(file_);
  EXPECT_EQ(file_.FrameCount, 5);
  EXPECT_EQ(file_.BitrateCount[9], 1);

  // Nothing after the header frame: no walk to start.
  ASSERT_FALSE(Open(test::VbrFrame(kCbr, "Info"), true));
  EXPECT_TRUE(file_.HasVBRHeader);
}

class RecordingDetail : public IFrameDetailSink {
 public:
  void OnFrame(const TFrameDetail& frame) override { frames.push_back(frame); }
  std::vector<TFrameDetail> frames;
};

TEST_F(MpgFileTest, DetailListingReceivesTheWalkedFramesOnly) {
  Bytes bytes = test::VbrFrame(kCbr, "Xing");
  Append(bytes, test::Frames(kCbr, 3));
  RecordingDetail detail;
  file_.Detail = true;
  file_.DetailFile = &detail;
  ASSERT_TRUE(Open(bytes));
  EXPECT_TRUE(detail.frames.empty());  // the probe's tries are not listed
  test::WalkToEnd(file_);
  ASSERT_EQ(detail.frames.size(), 3u);
  EXPECT_EQ(detail.frames[0].Number, 1);
  EXPECT_EQ(detail.frames[2].Number, 3);
  EXPECT_EQ(detail.frames[2].StartSample, 2304);
  EXPECT_EQ(detail.frames[2].EndSample, 3456);
  EXPECT_EQ(detail.frames[1].Bitrate, 128);
  EXPECT_EQ(detail.frames[1].BitrateIndex, 9);
}

// Whatever the bytes, Open and the walk end without a crash.
TEST_F(MpgFileTest, ArbitraryBytesNeverCrashOrHang) {
  std::vector<Bytes> inputs = {{},
                               {0xFF},
                               {0xFF, 0xFB},
                               {0xFF, 0xFB, 0x90},
                               {0xFF, 0xFB, 0x90, 0x64},
                               Bytes(20000, 0xFF),
                               Bytes(129, 0)};
  Bytes overrun = test::HeaderBytes({3, 3, 14, 2, 1, 0});  // a long Layer I frame, cut off
  Append(overrun, test::Garbage(10));
  inputs.push_back(overrun);
  Bytes hugeId3 = test::Id3v2Tag(10);
  hugeId3[6] = 0x7F;  // declares far more than the file holds
  inputs.push_back(hugeId3);
  std::mt19937 random(20240611);
  for (int n = 0; n < 20; ++n) {
    Bytes noise(1 + random() % 70000);
    for (uint8_t& byte : noise) {
      byte = static_cast<uint8_t>(random() % 3 == 0 ? 0xFF : random());
    }
    inputs.push_back(noise);
  }
  for (size_t i = 0; i < inputs.size(); ++i) {
    for (bool skip : {false, true}) {
      TMPGFile file;
      test::WriteFile(dir_.File("noise.bin"), inputs[i]);
      file.Open(dir_.File("noise.bin"), skip);
      test::WalkToEnd(file);
      EXPECT_LE(file.Position(), file.FileSize() + 4) << i;
      EXPECT_GE(file.Progress(), 0.0);
      EXPECT_LE(file.Progress(), 1.0);
    }
  }
}

TEST_F(MpgFileTest, UnopenedOrClosedFileIsHarmless) {
  EXPECT_EQ(file_.ReadHeader(), EndOfData);
  file_.StepBack();
  file_.ReadData();
  file_.SkipData();
  EXPECT_EQ(file_.Position(), 0);
  EXPECT_THROW(file_.Open(dir_.File("missing.mp3"), true), std::system_error);

  ASSERT_TRUE(Open(test::Frames(kCbr, 2)));
  file_.Close();
  EXPECT_EQ(file_.ReadHeader(), EndOfData);
}

}  // namespace
}  // namespace zembrio
