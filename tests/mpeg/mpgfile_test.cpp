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

const FrameSpec kCbr;  // MPEG-1 Layer III, 128 kbit/s, 44100 Hz, joint stereo: 417 bytes
const FrameSpec kMono{3, 1, 9, 0, 0, 3};

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    Append(all, part);
  }
  return all;
}

class MpgFileTest : public ::testing::Test {
 protected:
  bool Open(const Bytes& bytes, bool skipVbrHeader = true) {
    test::WriteFile(dir_.File("in.mp3"), bytes);
    file_ = std::make_unique<TMPGFile>();
    return file_->Open(dir_.File("in.mp3"), skipVbrHeader);
  }
  // Opens and walks to the end; the frames walked.
  int32_t Walk(const Bytes& bytes, bool skipVbrHeader = true) {
    Open(bytes, skipVbrHeader);
    test::WalkToEnd(*file_);
    return file_->FrameCount();
  }

  test::TempDir dir_;
  std::unique_ptr<TMPGFile> file_;
};

TEST_F(MpgFileTest, WalksFramesAndKeepsTheId3v1TagOut) {
  const Bytes bytes =
      Concat({test::Frames(kCbr, 10), test::Frame({3, 1, 11, 0, 1, 1}), test::Id3v1Tag("Chanson")});
  ASSERT_TRUE(Open(bytes));
  EXPECT_TRUE(file_->HasTag());
  EXPECT_FALSE(file_->HasVBRHeader());
  EXPECT_EQ(file_->AudioSize(), 10 * 417 + 627);
  test::WalkToEnd(*file_);
  EXPECT_EQ(file_->FrameCount(), 11);
  EXPECT_EQ(file_->BitrateCount()[9], 10);
  EXPECT_EQ(file_->BitrateCount()[11], 1);
  EXPECT_EQ(file_->StartSample(), 10 * 1152);
  EXPECT_EQ(file_->EndSample(), 11 * 1152);
  EXPECT_EQ(file_->SkippedBytes(), 0);
  EXPECT_DOUBLE_EQ(file_->Progress(), 1.0);

  TOutputFile out(dir_.File("tag.bin"));
  file_->WriteTag(out);
  out.Close();
  EXPECT_EQ(test::ReadFile(dir_.File("tag.bin")), Bytes(bytes.end() - 128, bytes.end()));

  ASSERT_FALSE(Open(test::Id3v1Tag()));  // nothing but a tag: no audio at all
  EXPECT_TRUE(file_->HasTag());
  EXPECT_EQ(file_->AudioSize(), 0);
  ASSERT_FALSE(Open({'T', 'A', 'G', 1, 2}));  // too short to hold a tag
  EXPECT_FALSE(file_->HasTag());
  TMPGFile missing;
  EXPECT_THROW(missing.Open(dir_.File("missing.mp3"), true), std::system_error);
}

// ReplayGain tools append an APE tag, lyrics editors a Lyrics3 block, both before any
// ID3v1 tag: the walk ends where they begin, and only a real ID3v1 tag is taken as one.
TEST_F(MpgFileTest, TagsAfterTheAudioEndTheWalkWithoutErrors) {
  const Bytes audio = test::Frames(kCbr, 10);
  const Bytes ape =
      test::ApeTag({{"REPLAYGAIN_TRACK_GAIN", "-6.54 dB"}, {"MP3GAIN_MINMAX", "092,21"}});
  ASSERT_EQ(ape.size(), 131u);  // the "TAG" of its header lies 128 bytes before its end
  struct Case {
    const char* name;
    Bytes tail;
    bool id3v1;
  };
  const Case cases[] = {
      {"APE", ape, false},
      {"APE, ID3v1", Concat({ape, test::Id3v1Tag("Chanson")}), true},
      {"APE without header", test::ApeTag({{"REPLAYGAIN_ALBUM_GAIN", "-7 dB"}}, false), false},
      {"Lyrics3, ID3v1", Concat({test::Lyrics3Block("la la"), test::Id3v1Tag()}), true},
      {"APE, Lyrics3, ID3v1", Concat({ape, test::Lyrics3Block("la"), test::Id3v1Tag()}), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Open(Concat({audio, c.tail})));
    EXPECT_EQ(file_->HasTag(), c.id3v1);
    EXPECT_EQ(file_->AudioSize(), static_cast<int64_t>(audio.size()));
    test::WalkToEnd(*file_);
    EXPECT_EQ(file_->FrameCount(), 10);
    EXPECT_EQ(file_->SkippedBytes(), 0);
  }

  // Only what really is a tag ends the audio: a broken size or a stray "LYRICS200" does not;
  // a damaged APE tag is no ID3v1 tag either.
  Bytes badApe = ape;
  badApe[badApe.size() - 17] = 0x7F;  // the size reaches beyond the start of the file
  ASSERT_TRUE(Open(Concat({audio, badApe})));
  EXPECT_FALSE(file_->HasTag());
  EXPECT_EQ(file_->AudioSize(), static_cast<int64_t>(audio.size() + badApe.size()));
  const std::string stray = "000042LYRICS200";
  ASSERT_TRUE(Open(Concat({audio, Bytes(stray.begin(), stray.end()), test::Id3v1Tag()})));
  EXPECT_EQ(file_->AudioSize(), static_cast<int64_t>(audio.size() + stray.size()));
}

// Frames of changing lengths over several read buffers: those lying across a buffer edge
// are copied as faithfully as those used in place.
TEST_F(MpgFileTest, CopiedFramesAreTheSourceFramesAcrossBufferEdges) {
  Bytes bytes;
  for (int i = 0; i < 8000; ++i) {
    Append(bytes, test::Frame({3, 1, 9 + i % 3, 0, i % 2, 1}, static_cast<uint8_t>(i % 200 + 1)));
  }
  ASSERT_GT(bytes.size(), 3u << 20);
  ASSERT_TRUE(Open(bytes));
  TOutputFile out(dir_.File("copy.mp3"));
  test::WalkToEnd(*file_, &out);
  out.Close();
  EXPECT_EQ(file_->FrameCount(), 8000);
  EXPECT_TRUE(test::ReadFile(dir_.File("copy.mp3")) == bytes);
}

TEST_F(MpgFileTest, PaddingSlotsOfEveryLayerKeepTheWalkOnTheFrames) {
  // Headers that repeat but for their padding bit are not decoded again: the padding slot
  // (4 bytes in Layer I) must still move every later frame.
  for (int version : {3, 2}) {
    for (int layer = 1; layer <= 3; ++layer) {
      SCOPED_TRACE(testing::Message() << "version " << version << " layer " << layer);
      Bytes bytes;
      for (int i = 0; i < 300; ++i) {
        const FrameSpec spec{version, layer, 5 + i / 100, 1, (i * 7) % 3 == 0 ? 1 : 0, 1};
        Append(bytes, test::Frame(spec, static_cast<uint8_t>(i % 200 + 1)));
      }
      ASSERT_TRUE(Open(bytes));
      TOutputFile out(dir_.File("copy.mp3"));
      test::WalkToEnd(*file_, &out);
      out.Close();
      EXPECT_EQ(file_->FrameCount(), 300);
      EXPECT_EQ(file_->SkippedBytes(), 0);
      EXPECT_TRUE(test::ReadFile(dir_.File("copy.mp3")) == bytes);
    }
  }
}

TEST_F(MpgFileTest, FirstFrameIsSearchedWithinTheFirst50000Bytes) {
  ASSERT_TRUE(Open(Concat({test::Garbage(10000), test::Frames(kCbr, 3)})));
  EXPECT_EQ(file_->FirstFramePos(), 10000);
  EXPECT_EQ(file_->SkippedBytes(), 0);  // the search's bytes are not counted
  ASSERT_TRUE(Open(Concat({test::Garbage(49996), test::Frames(kCbr, 2)})));
  EXPECT_EQ(file_->FirstFramePos(), 49996);

  // One byte further is too far. The walk goes on from where the search stopped, inside
  // that first frame, and resynchronises on the next one.
  ASSERT_FALSE(Open(Concat({test::Garbage(49997), test::Frames(kCbr, 3)})));
  EXPECT_EQ(file_->Position(), 50000);
  EXPECT_EQ(file_->SkippedBytes(), 49996);
  test::WalkToEnd(*file_);
  EXPECT_EQ(file_->FrameCount(), 2);
  EXPECT_EQ(file_->SkippedBytes(), 49996 + 414);
}

TEST_F(MpgFileTest, Id3v2TagIsPassedOverWholeEvenWithSyncPatternsInside) {
  // A picture-like payload full of FF FB pairs, larger than the search window, which
  // starts where the tag ends.
  ASSERT_TRUE(
      Open(Concat({test::Id3v2Tag(60000, true), test::Garbage(49996), test::Frames(kCbr, 5)})));
  EXPECT_EQ(file_->Id3v2Size(), 60010);
  EXPECT_EQ(file_->FirstFramePos(), 60010 + 49996);
  test::WalkToEnd(*file_);
  EXPECT_EQ(file_->FrameCount(), 5);
  EXPECT_EQ(file_->SkippedBytes(), 0);

  Bytes withFooter = Concat({test::Id3v2Tag(100), test::Frames(kCbr, 2)});
  withFooter[5] = 0x10;  // the footer flag: ten bytes more
  withFooter.insert(withFooter.begin() + 110, 10, 0x20);
  ASSERT_TRUE(Open(withFooter));
  EXPECT_EQ(file_->FirstFramePos(), 120);

  Bytes notATag = Concat({test::Id3v2Tag(100), test::Frames(kCbr, 2)});
  notATag[9] = 0x80;  // not a syncsafe size: no tag, the bytes are searched as they are
  ASSERT_TRUE(Open(notATag));
  EXPECT_EQ(file_->Id3v2Size(), 0);
  EXPECT_EQ(file_->FirstFramePos(), 110);
}

TEST_F(MpgFileTest, FalseSyncInJunkDoesNotBecomeTheReference) {
  // An MPEG-2 header in junk before MPEG-1 frames: as reference it would refuse them all.
  const Bytes junk =
      Concat({test::Garbage(300), test::HeaderBytes({2, 1, 8, 0, 0, 1}), test::Garbage(500)});
  ASSERT_EQ(Walk(Concat({junk, test::Frames(kCbr, 4)})), 4);
  EXPECT_EQ(file_->FirstFramePos(), static_cast<int64_t>(junk.size()));
  EXPECT_EQ(file_->RefVersion(), 3);

  // A lone frame, or one whose successor is cut off by the end, is still taken.
  EXPECT_TRUE(Open(test::Frame(kCbr)));
  Bytes cut = test::Frames(kCbr, 2);
  cut.resize(417 + 3);
  EXPECT_TRUE(Open(cut));
}

TEST_F(MpgFileTest, GarbageAndForeignFramesBetweenFramesAreSkippedByteByByte) {
  // 0xFF runs look like sync but never decode; 48000 Hz frames do not match the reference.
  const Bytes foreign = test::Frames({3, 1, 9, 1, 0, 1}, 2);
  EXPECT_EQ(Walk(Concat({test::Frames(kCbr, 2), test::Garbage(777, 0xFF), test::Frames(kCbr, 3),
                         foreign, test::Frames(kCbr, 1)})),
            6);
  EXPECT_EQ(file_->SkippedBytes(), 777 + static_cast<int64_t>(foreign.size()));
}

TEST_F(MpgFileTest, ShortLastFrameIsWrittenAtFullLengthWithZeros) {
  Bytes bytes = test::Frames(kCbr, 2);
  bytes.resize(417 + 100);
  ASSERT_TRUE(Open(bytes));
  ASSERT_EQ(file_->ReadHeader(), Ok);
  file_->SkipData();
  ASSERT_EQ(file_->ReadHeader(), Ok);
  EXPECT_EQ(file_->DataLength(), 96);
  EXPECT_EQ(file_->FullDataLength(), 413);
  file_->ReadData();
  TOutputFile out(dir_.File("out.mp3"));
  file_->WriteFrame(out);
  out.Close();
  const Bytes written = test::ReadFile(dir_.File("out.mp3"));
  ASSERT_EQ(written.size(), 417u);
  EXPECT_TRUE(std::equal(written.begin(), written.begin() + 100, bytes.begin() + 417));
  EXPECT_TRUE(std::all_of(written.begin() + 100, written.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(file_->ReadHeader(), EndOfData);

  Bytes tagged = test::Frame(kCbr);  // the ID3v1 tag cuts a frame short as the end does
  tagged.resize(200);
  ASSERT_TRUE(Open(Concat({tagged, test::Id3v1Tag()})));
  ASSERT_EQ(file_->ReadHeader(), Ok);
  EXPECT_EQ(file_->DataLength(), 196);
}

TEST_F(MpgFileTest, VbrHeadersAreFoundAtTheirOffsetOnly) {
  const FrameSpec mpeg2{2, 1, 8, 0, 0, 1};
  const FrameSpec mpeg2Mono{2, 1, 8, 0, 0, 3};
  const struct {
    FrameSpec spec;
    const char* tag;
    bool found;
  } cases[] = {{kCbr, "Xing", true},  {kCbr, "Info", true},  {kCbr, "VBRI", true},
               {kMono, "Xing", true}, {mpeg2, "Info", true}, {mpeg2Mono, "Xing", true},
               {kCbr, "xing", false}, {kCbr, "LAME", false}};
  for (const auto& c : cases) {
    ASSERT_TRUE(Open(Concat({test::VbrFrame(c.spec, c.tag), test::Frames(c.spec, 3)})));
    EXPECT_EQ(file_->HasVBRHeader(), c.found) << c.tag << " version " << c.spec.VersionId;
  }
  // "VBRI" lies 32 bytes after the frame header in every layout, and nowhere else: in a
  // single-channel frame or an MPEG-2 one that is not where "Xing" lies.
  for (const auto& [spec, xingOffset] : {std::pair{kMono, 17}, std::pair{mpeg2Mono, 9}}) {
    for (const int offset : {32, xingOffset}) {
      Bytes frame = test::Frame(spec, 0);
      std::copy_n("VBRI", 4, frame.begin() + 4 + offset);
      ASSERT_TRUE(Open(Concat({frame, test::Frames(spec, 2)})));
      EXPECT_EQ(file_->HasVBRHeader(), offset == 32) << offset;
      test::WalkToEnd(*file_);
      EXPECT_EQ(file_->FrameCount(), offset == 32 ? 2 : 3) << "the VBRI frame is no audio";
    }
  }
}

TEST_F(MpgFileTest, SkippingTheVbrHeaderFrameStartsTheWalkAfterIt) {
  const Bytes bytes = Concat({test::VbrFrame(kCbr, "Xing"), test::Frames({3, 1, 11, 0, 0, 1}, 4)});
  for (bool skip : {true, false}) {
    ASSERT_TRUE(Open(bytes, skip));
    EXPECT_TRUE(file_->HasVBRHeader());
    EXPECT_EQ(file_->FirstFramePos(), skip ? 417 : 0);
    test::WalkToEnd(*file_);
    EXPECT_EQ(file_->FrameCount(), skip ? 4 : 5);
    EXPECT_EQ(file_->BitrateCount()[9], skip ? 0 : 1);
  }
  ASSERT_FALSE(Open(test::VbrFrame(kCbr, "Info"), true));  // nothing after it to walk
  EXPECT_TRUE(file_->HasVBRHeader());
}

TEST_F(MpgFileTest, DetailListingReceivesTheWalkedFramesOnly) {
  struct Recorder : IFrameDetailSink {
    void OnFrame(const TFrameDetail& frame) override { frames.push_back(frame); }
    std::vector<TFrameDetail> frames;
  } detail;
  test::WriteFile(dir_.File("in.mp3"),
                  Concat({test::VbrFrame(kCbr, "Xing"), test::Frames(kCbr, 3)}));
  TMPGFile file;
  file.SetDetailSink(&detail);
  ASSERT_TRUE(file.Open(dir_.File("in.mp3"), true));
  EXPECT_TRUE(detail.frames.empty());  // the probe's tries are not listed
  test::WalkToEnd(file);
  ASSERT_EQ(detail.frames.size(), 3u);
  EXPECT_EQ(detail.frames[0].Number, 1);
  EXPECT_EQ(detail.frames[2].Number, 3);
  EXPECT_EQ(detail.frames[2].StartSample, 2304);
  EXPECT_EQ(detail.frames[2].EndSample, 3456);
  EXPECT_EQ(detail.frames[1].Bitrate, 128);
  EXPECT_EQ(detail.frames[1].BitrateIndex, 9);
}

TEST_F(MpgFileTest, SizesBeyond4GiB) {
  // Frames at the start, a hole, and an ID3v1 tag past 4 GiB.
  const std::string path = dir_.File("huge.mp3");
  test::WriteFile(path, test::Frames(kCbr, 3));
  const int64_t tagAt = int64_t{4} << 30 | 12345;
  std::filesystem::resize_file(path, static_cast<uintmax_t>(tagAt));
  const Bytes tag = test::Id3v1Tag();
  std::ofstream(path, std::ios::binary | std::ios::app)
      .write(reinterpret_cast<const char*>(tag.data()), 128);
  TMPGFile file;
  ASSERT_TRUE(file.Open(path, true));
  EXPECT_TRUE(file.HasTag());
  EXPECT_EQ(file.AudioSize(), tagAt);
}

// Whatever the bytes, Open and the walk end without a crash.
TEST_F(MpgFileTest, ArbitraryBytesNeverCrashOrHang) {
  std::vector<Bytes> inputs = {{},
                               {0xFF},
                               {0xFF, 0xFB},
                               {0xFF, 0xFB, 0x90},
                               {0xFF, 0xFB, 0x90, 0x64},
                               Bytes(20000, 0xFF),
                               Concat({test::HeaderBytes({3, 3, 14, 2, 1, 0}), test::Garbage(10)})};
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
      Walk(inputs[i], skip);
      EXPECT_LE(file_->Position(), file_->FileSize() + 4) << i;
      EXPECT_LE(file_->Progress(), 1.0);
    }
  }
}

}  // namespace
}  // namespace zembrio
