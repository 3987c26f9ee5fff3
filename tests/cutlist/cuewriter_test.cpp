#include "cutlist/cuewriter.h"

#include <gtest/gtest.h>

#include "core/fileio.h"
#include "core/settings.h"
#include "framebuilder.h"
#include "import/cuesheet.h"

namespace zembrio {
namespace {

TCutPoint& AddTrack(TCPList& list, int seconds, int frames, const std::string& title,
                    const std::string& artist = "") {
  TCutPoint& point = list.Add();
  SetFrames(point, seconds, frames);
  point.Title = title;
  point.Artist = artist;
  return point;
}

TEST(CueWriter, WritesTheSheetTheImportReadsBackToTheSameList) {
  Settings().MASK = "%N %T";
  TCPList list;
  list.Album = {"Racines", "Quatuor", "1999", "Jazz"};
  AddTrack(list, 0, 0, "Un").Name = "01 Un";
  AddTrack(list, 200, 74, "Deux \"live\"", "Invitée").Name = "02 Deux \"live\"";
  AddTrack(list, 4000, 3, "Trois").Name = "03 Trois";
  AddTrack(list, 7265, 42, "Quatre").Name = "04 Quatre";  // past 99 minutes

  const std::string text = CueSheetText(list, "/music/Racines.mp3", true);
  EXPECT_NE(text.find("FILE \"Racines.mp3\" MP3\n"), std::string::npos);
  EXPECT_NE(text.find("INDEX 01 03:20:74\n"), std::string::npos);
  EXPECT_NE(text.find("INDEX 01 66:40:03\n"), std::string::npos);
  EXPECT_NE(text.find("INDEX 01 121:05:42\n"), std::string::npos);

  test::TempDir dir;
  const std::string path = dir.File("Racines.cue");
  WriteCueSheet(list, "/music/Racines.mp3", true, path);
  TCPList back;
  ASSERT_TRUE(ImportCueSheet(back, path, "/music/Racines.mp3"));
  ASSERT_EQ(back.Count(), list.Count());
  for (int index = 0; index < list.Count(); ++index) {
    SCOPED_TRACE(index);
    EXPECT_EQ(back[index].Seconds, list[index].Seconds);
    EXPECT_EQ(back[index].Frames, list[index].Frames);
    EXPECT_EQ(back[index].Name, list[index].Name);
    EXPECT_EQ(back[index].Title, list[index].Title);
    EXPECT_EQ(back[index].Artist, list[index].Artist);
  }
  EXPECT_EQ(back.Album.Album, "Racines");
  EXPECT_EQ(back.Album.AlbumArtist, "Quatuor");
  EXPECT_EQ(back.Album.Date, "1999");
  EXPECT_EQ(back.Album.Genre, "Jazz");
}

TEST(CueWriter, ANameWithoutTitleBecomesTheTitle) {
  TCPList list;
  TCutPoint& point = list.Add();
  point.Name = "intro";
  const std::string text = CueSheetText(list, "a.flac", false);
  EXPECT_NE(text.find("TITLE \"intro\""), std::string::npos);
  EXPECT_NE(text.find("FILE \"a.flac\" WAVE"), std::string::npos);
}

}  // namespace
}  // namespace zembrio
