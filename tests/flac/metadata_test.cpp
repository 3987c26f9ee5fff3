// The metadata read from a FLAC source and the blocks a track is given: checked by writing
// a track file (the source's STREAMINFO, the built blocks, the source's frames unchanged)
// and reading it back with metaflac and flac.
#include <gtest/gtest.h>

#include <system_error>

#include "cut/runfeedback.h"
#include "flac/trackmetadata.h"
#include "flacsources.h"

namespace zembrio {
namespace {

using test::ToolOutput;

class TrackMetadataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveFlacTools())
      GTEST_SKIP() << "sox, flac or metaflac missing";
    test::MakeFlac(source_, 25.0);
    test::WriteFile(dir_.File("front.png"), test::Bytes(300, 0x11));
    test::WriteFile(dir_.File("back.png"), test::Bytes(200, 0x22));
    test::RunTool(
        "metaflac --remove-all-tags --set-tag=TITLE=Album --set-tag=ARTIST=Band"
        " --set-tag=COMMENT=gardé --set-tag=CUE_TRACK01_TITLE=Un"
        " --set-tag=REPLAYGAIN_TRACK_GAIN=-3.1 --set-tag=REPLAYGAIN_ALBUM_GAIN=-4.2"
        " --set-tag=CUESHEET=x --set-tag=ARTIST=Second"
        " \"--import-picture-from=3|image/png|Front|10x10x24|" +
        dir_.File("front.png") + "\" \"--import-picture-from=4|image/png|Back|8x8x24|" +
        dir_.File("back.png") + "\" " + source_);
    std::string sheet =
        "FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
        "  TRACK 02 AUDIO\n    INDEX 01 00:10:00\n";
    test::WriteFile(dir_.File("album.cue"), test::Bytes(sheet.begin(), sheet.end()));
    test::RunTool("metaflac --import-cuesheet-from=" + dir_.File("album.cue") + " " + source_);
  }

  // fLaC, the source's STREAMINFO, the track's blocks and every frame of the source.
  std::string WriteTrack(const TFlacSourceMetadata& meta, const TFlacTrackMetadata& track) {
    const test::Bytes source = test::ReadFile(source_);
    test::Bytes out = {'f', 'L', 'a', 'C', 0x00, 0, 0, kFlacStreamInfoSize};
    const auto info = SerializeStreamInfo(meta.StreamInfo);
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), track.Blocks.begin(), track.Blocks.end());
    out.insert(out.end(), source.begin() + static_cast<long>(meta.AudioOffset), source.end());
    const std::string path = dir_.File("track.flac");
    test::WriteFile(path, out);
    return path;
  }

  test::TempDir dir_;
  std::string source_ = dir_.File("album.flac");
};

TEST_F(TrackMetadataTest, ReadsWhatTheSourceHolds) {
  const TFlacSourceMetadata meta = ReadFlacSourceMetadata(source_);
  EXPECT_EQ(meta.StreamInfo.SampleRate, 44100u);
  EXPECT_EQ(meta.StreamInfo.Channels, 2u);
  EXPECT_EQ(meta.StreamInfo.BitsPerSample, 16u);
  EXPECT_EQ(meta.StreamInfo.TotalSamples, 25u * 44100u);
  EXPECT_TRUE(meta.StreamInfo.HasMd5());
  EXPECT_FALSE(meta.Vendor.empty());
  // Stored order, repeated fields and all.
  const std::vector<std::string> expected = {"TITLE=Album",
                                             "ARTIST=Band",
                                             "COMMENT=gardé",
                                             "CUE_TRACK01_TITLE=Un",
                                             "REPLAYGAIN_TRACK_GAIN=-3.1",
                                             "REPLAYGAIN_ALBUM_GAIN=-4.2",
                                             "CUESHEET=x",
                                             "ARTIST=Second"};
  EXPECT_EQ(meta.Comments, expected);
  ASSERT_EQ(meta.Pictures.size(), 2u);
  EXPECT_EQ(meta.Pictures[0][3], 3);  // the picture type leads the body
  EXPECT_EQ(meta.Pictures[1][3], 4);
  EXPECT_TRUE(meta.HasCueSheetBlock);
  EXPECT_TRUE(meta.HasSeekTable);
  const test::Bytes bytes = test::ReadFile(source_);
  ASSERT_LT(meta.AudioOffset + 1, bytes.size());
  EXPECT_EQ(bytes[meta.AudioOffset], 0xFF);  // a frame's sync code
  EXPECT_EQ(bytes[meta.AudioOffset + 1] & 0xFE, 0xF8);
}

TEST_F(TrackMetadataTest, RefusesWhatIsNoFlacStream) {
  const std::string text = dir_.File("text.flac");
  test::WriteFile(text, test::Bytes(100, 'a'));
  EXPECT_THROW(ReadFlacSourceMetadata(text), TRunError);
  EXPECT_THROW(ReadFlacSourceMetadata(dir_.File("missing.flac")), std::system_error);
  // A stream cut short inside its metadata.
  test::Bytes cut = test::ReadFile(source_);
  cut.resize(200);
  test::WriteFile(text, cut);
  EXPECT_THROW(ReadFlacSourceMetadata(text), TRunError);
}

TEST_F(TrackMetadataTest, TrackFileCarriesTheTrackTagsAndVerifies) {
  const TFlacSourceMetadata meta = ReadFlacSourceMetadata(source_);
  TFragmentTags tags;
  tags.Title = "Chanson été";
  tags.Artist = "Chanteuse";
  tags.Album = "Disque";
  tags.Track = 2;
  tags.TrackTotal = 9;
  const TFlacTrackMetadata track = BuildTrackMetadata(meta, &tags, 25u * 44100u);
  ASSERT_EQ(track.SeekPoints, 3u);
  // A real point for the first frame, placeholders for the rest.
  const std::vector<uint8_t> points = SerializeSeekPoints({{0, 0, 4096}}, track.SeekPoints);
  TFlacTrackMetadata filled = track;
  std::copy(points.begin(), points.end(), filled.Blocks.begin() + filled.SeekTableOffset);
  const std::string path = WriteTrack(meta, filled);

  test::RunTool("flac -t -s " + path);
  const std::string tagsOut = ToolOutput("metaflac --export-tags-to=- " + path);
  for (const char* line : {"TITLE=Chanson été", "ARTIST=Chanteuse", "ALBUM=Disque", "TRACKNUMBER=2",
                           "TRACKTOTAL=9", "COMMENT=gardé", "REPLAYGAIN_ALBUM_GAIN=-4.2"})
    EXPECT_NE(tagsOut.find(std::string(line) + "\n"), std::string::npos) << line;
  for (const char* gone : {"TITLE=Album", "ARTIST=Band", "ARTIST=Second", "CUESHEET", "CUE_TRACK01",
                           "REPLAYGAIN_TRACK"})
    EXPECT_EQ(tagsOut.find(gone), std::string::npos) << gone;

  const std::string list = ToolOutput("metaflac --list " + path);
  EXPECT_EQ(list.find("CUESHEET"), std::string::npos);
  EXPECT_NE(list.find("type: 3 (Cover (front))"), std::string::npos);
  EXPECT_NE(list.find("type: 4 (Cover (back))"), std::string::npos);
  EXPECT_NE(list.find("seek points: 3"), std::string::npos);
  EXPECT_NE(list.find("point 0: sample_number=0, stream_offset=0, frame_samples=4096"),
            std::string::npos);
  EXPECT_NE(list.find("point 2: PLACEHOLDER"), std::string::npos);
  EXPECT_NE(list.find("type: 1 (PADDING)"), std::string::npos);
  // The pictures are the source's bytes.
  const TFlacSourceMetadata back = ReadFlacSourceMetadata(path);
  EXPECT_EQ(back.Pictures, meta.Pictures);
  EXPECT_EQ(back.Vendor, meta.Vendor);
}

TEST_F(TrackMetadataTest, WithoutTrackTagsTheSourceCommentsStayButNotTheAlbumImagesOwn) {
  const TFlacSourceMetadata meta = ReadFlacSourceMetadata(source_);
  const std::string path = WriteTrack(meta, BuildTrackMetadata(meta, nullptr, 44100));
  test::RunTool("flac -t -s " + path);
  const std::string tagsOut = ToolOutput("metaflac --export-tags-to=- " + path);
  for (const char* line : {"TITLE=Album", "ARTIST=Band", "ARTIST=Second", "COMMENT=gardé"})
    EXPECT_NE(tagsOut.find(std::string(line) + "\n"), std::string::npos) << line;
  for (const char* gone : {"CUESHEET", "CUE_TRACK01", "REPLAYGAIN_TRACK", "TRACKNUMBER"})
    EXPECT_EQ(tagsOut.find(gone), std::string::npos) << gone;
}

TEST(SeekPointsTest, CountAndLayout) {
  EXPECT_EQ(SeekPointCount(0, 44100), 0u);
  EXPECT_EQ(SeekPointCount(1000, 0), 0u);
  EXPECT_EQ(SeekPointCount(1, 44100), 1u);
  EXPECT_EQ(SeekPointCount(441000, 44100), 1u);
  EXPECT_EQ(SeekPointCount(441001, 44100), 2u);
  EXPECT_EQ(SeekPointCount(3600ull * 96000, 96000), 360u);
  // Far beyond what a block can hold: capped to its 24-bit length.
  EXPECT_EQ(SeekPointCount(1ull << 40, 8000), 0xFFFFFFu / 18);

  // Unsorted, with a repeat: sorted, the repeat gone, placeholders after.
  const std::vector<uint8_t> bytes =
      SerializeSeekPoints({{882000, 0x123456, 4096}, {0, 0, 4096}, {882000, 0x123456, 4096}}, 3);
  ASSERT_EQ(bytes.size(), 54u);
  const std::vector<uint8_t> second = {0, 0, 0, 0, 0,    0x0D, 0x75, 0x50, 0,
                                       0, 0, 0, 0, 0x12, 0x34, 0x56, 0x10, 0x00};
  EXPECT_TRUE(std::equal(second.begin(), second.end(), bytes.begin() + 18));
  EXPECT_TRUE(
      std::all_of(bytes.begin() + 36, bytes.begin() + 44, [](uint8_t b) { return b == 0xFF; }));
  EXPECT_TRUE(std::all_of(bytes.begin() + 44, bytes.end(), [](uint8_t b) { return b == 0; }));
  // More points than places: the table keeps its size.
  EXPECT_EQ(SerializeSeekPoints({{0, 0, 1}, {1, 1, 1}, {2, 2, 1}}, 2).size(), 36u);
}

}  // namespace
}  // namespace zembrio
