// Track lists embedded in FLAC album images: the CUESHEET block's sample offsets and the
// CUESHEET comment's text, made into cut points at the right samples with their titles.
#include <gtest/gtest.h>

#include "core/settings.h"
#include "flac/embeddedcue.h"
#include "flacsources.h"
#include "import/embeddedcue.h"
#include "settingsguard.h"

namespace zembrio {
namespace {

class EmbeddedCueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveFlacTools())
      GTEST_SKIP() << "sox, flac or metaflac missing";
    Settings().MASK = "%N %T";
    Settings().ZEROINDEX = true;
  }

  void WriteText(const std::string& path, const std::string& text) {
    test::WriteFile(path, test::Bytes(text.begin(), text.end()));
  }

  // A CD-like source whose block holds three tracks, track 2 with a pregap.
  std::string SourceWithBlock() {
    const std::string path = dir_.File("block.flac");
    test::MakeFlac(path, 25.0);
    WriteText(dir_.File("block.cue"),
              "FILE \"x.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n    INDEX 00 00:07:00\n    INDEX 01 00:08:37\n"
              "  TRACK 03 AUDIO\n    INDEX 01 00:15:74\n");
    test::RunTool("metaflac --import-cuesheet-from=" + dir_.File("block.cue") +
                  " --set-tag=CUE_TRACK02_TITLE=Deux --set-tag=CUE_TRACK02_PERFORMER=Invité"
                  " --set-tag=ALBUM=Disque --set-tag=ARTIST=Groupe --set-tag=DATE=1999"
                  " --set-tag=GENRE=Jazz " +
                  path);
    return path;
  }

  test::SettingsGuard guard_;
  test::TempDir dir_;
};

TEST_F(EmbeddedCueTest, BlockTracksAtTheirSamples) {
  const std::string path = SourceWithBlock();
  TCPList list;
  ASSERT_TRUE(ImportEmbeddedCueSheet(list, path));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(PositionAt(list[0], 44100), 0);
  EXPECT_EQ(PositionAt(list[1], 44100), 8 * 44100 + 37 * 588);  // INDEX 01, not the pregap
  EXPECT_EQ(PositionAt(list[2], 44100), 15 * 44100 + 74 * 588);
  EXPECT_EQ(list[0].Name, "01");  // no title: the mask numbers it
  EXPECT_EQ(list[1].Name, "02 Deux");
  EXPECT_EQ(list[1].Title, "Deux");
  EXPECT_EQ(list[1].Artist, "Invité");
  EXPECT_EQ(list.Album.Album, "Disque");
  EXPECT_EQ(list.Album.AlbumArtist, "Groupe");
  EXPECT_EQ(list.Album.Date, "1999");
  EXPECT_EQ(list.Album.Genre, "Jazz");
}

TEST_F(EmbeddedCueTest, CommentTextGivesTitlesAndWinsOverTheBlock) {
  const std::string path = SourceWithBlock();
  WriteText(dir_.File("comment.cue"),
            "REM DATE 2004\r\nPERFORMER \"Orchestre\"\r\nTITLE \"Symphonie\"\r\n"
            "FILE \"Symphonie.wav\" WAVE\r\n  TRACK 01 AUDIO\r\n    TITLE \"Allegro\"\r\n"
            "    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n    TITLE \"Adagio\"\r\n"
            "    PERFORMER \"Soliste\"\r\n    INDEX 01 00:12:30\r\n");
  test::RunTool("metaflac --set-tag-from-file=CUESHEET=" + dir_.File("comment.cue") + " " + path);
  TCPList list;
  ASSERT_TRUE(ImportEmbeddedCueSheet(list, path));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0].Name, "01 Allegro");
  EXPECT_EQ(list[1].Title, "Adagio");
  EXPECT_EQ(list[1].Artist, "Soliste");
  EXPECT_EQ(PositionAt(list[1], 44100), 12 * 44100 + 30 * 588);
  // The sheet's disc fields first, the comments for what it lacks.
  EXPECT_EQ(list.Album.Album, "Symphonie");
  EXPECT_EQ(list.Album.AlbumArtist, "Orchestre");
  EXPECT_EQ(list.Album.Date, "2004");
  EXPECT_EQ(list.Album.Genre, "Jazz");
}

TEST_F(EmbeddedCueTest, NothingEmbeddedNothingImported) {
  const std::string plain = dir_.File("plain.flac");
  test::MakeFlac(plain, 1.0);
  const std::string text = dir_.File("text.flac");
  WriteText(text, "not audio at all");
  TCPList list;
  EXPECT_FALSE(ImportEmbeddedCueSheet(list, plain));
  EXPECT_FALSE(ImportEmbeddedCueSheet(list, text));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(ReadEmbeddedCueSheet(plain).has_value());
}

// A non-CD sheet at 96 kHz gives its offsets in samples: CD-frame multiples stay exact,
// any other sample comes within a millisecond.
TEST_F(EmbeddedCueTest, HighRateBlockWithSampleOffsets) {
  const std::string path = dir_.File("hires.flac");
  test::MakeFlac(path, 6.0, 96000, 2, 24, 4096);
  WriteText(dir_.File("hires.cue"),
            "FILE \"x.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 0\n"
            "  TRACK 02 AUDIO\n    INDEX 01 240640\n  TRACK 03 AUDIO\n    INDEX 01 300017\n");
  test::RunTool("metaflac --import-cuesheet-from=" + dir_.File("hires.cue") + " " + path);
  const auto sheet = ReadEmbeddedCueSheet(path);
  ASSERT_TRUE(sheet.has_value());
  ASSERT_EQ(sheet->Tracks.size(), 3u);  // the lead-out left out
  EXPECT_EQ(sheet->Tracks[2].StartSample, 300017u);
  TCPList list;
  ASSERT_TRUE(ImportEmbeddedCueSheet(list, path));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(PositionAt(list[1], 96000), 240640);  // 2 s and 38 CD frames
  EXPECT_NEAR(static_cast<double>(PositionAt(list[2], 96000)), 300017.0, 48.0);
}

TEST(CutPointTimeTest, LandsOnTheSampleWhenAUnitDoes) {
  for (const int32_t rate : {8000, 22050, 32000, 44100, 48000, 96000, 192000}) {
    // Every CD frame of two seconds: the position comes back exactly.
    for (int64_t frame = 0; frame < 150; ++frame) {
      const int64_t at = (7 + frame / 75) * int64_t{rate} + frame % 75 * rate / 75;
      EXPECT_EQ(PositionAt(CutPointTimeOfSample(static_cast<uint64_t>(at), rate), rate), at)
          << rate << " " << at;
    }
    // Any sample: within half a millisecond, or exact where a millisecond lands on it.
    for (int64_t sample = 3 * int64_t{rate}; sample < 3 * int64_t{rate} + 3000; sample += 7) {
      const int64_t back =
          PositionAt(CutPointTimeOfSample(static_cast<uint64_t>(sample), rate), rate);
      EXPECT_LE(std::abs(back - sample), rate / 2000 + 1) << rate << " " << sample;
      if (sample * 1000 % rate == 0) {
        EXPECT_EQ(back, sample);
      }
    }
  }
  // Next to the end of a second the nearest millisecond is the next second's start.
  EXPECT_EQ(PositionAt(CutPointTimeOfSample(44099, 44100), 44100), 44100);
}

}  // namespace
}  // namespace zembrio
