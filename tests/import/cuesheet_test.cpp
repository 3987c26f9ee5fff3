#include "import/cuesheet.h"

#include "core/timevalue.h"
#include "importfixture.h"

namespace zembrio {
namespace {

using test::ImportSample;
using test::ImportTest;

TEST_F(ImportTest, RipperSheetGivesTimesAndNames) {
  ImportCueSheet(list, ImportSample("ripper.cue"));
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(Point(0), "0s0f 01 Ouverture");  // INDEX 00 of track 1 under ZEROINDEX
  EXPECT_EQ(Point(1), "180s0f 02 Intro- Part 1");
  EXPECT_EQ(Point(2), "432s33f 03 Café ''Noir''");  // inner quotes kept, then replaced
  EXPECT_EQ(Point(3), "601s74f 04 AC-DC-");
  EXPECT_EQ(list[3].Kind, TTimeKind::tkCdFrames);
}

// The tags take the text as the sheet gives it, before the mask and the replacement list.
TEST_F(ImportTest, RipperSheetKeepsTheRawFieldsForTheTags) {
  ImportCueSheet(list, ImportSample("ripper.cue"));
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Album.Album, "Nuit Blanche");
  EXPECT_EQ(list.Album.AlbumArtist, "Les Étoiles");
  EXPECT_EQ(list.Album.Date, "1994");
  EXPECT_EQ(list.Album.Genre, "Chanson");
  EXPECT_EQ(list[1].Title, "Intro: Part 1");
  EXPECT_EQ(list[2].Title, "Café \"Noir\"");
  EXPECT_EQ(list[2].Artist, "Invité / Ami");
  EXPECT_EQ(list[3].Title, "AC/DC?");
}

TEST_F(ImportTest, QuotedRemValuesAndTrackLevelRemLines) {
  ReadCueSheet(list, {"REM GENRE \"Hard Rock\"", "REM DATE 1980", "TRACK 01 AUDIO",
                      "  REM DATE 2001", "  INDEX 01 00:00:00"});
  EXPECT_EQ(list.Album.Genre, "Hard Rock");
  EXPECT_EQ(list.Album.Date, "1980");  // a track's own REM line is not the disc's
  EXPECT_EQ(list[0].Artist, "");       // the album artist stands in, when there is one
}

TEST_F(ImportTest, ZeroIndexAndMaskSettings) {
  Settings().ZEROINDEX = false;
  Settings().MASK = "%A - %D - %N %P - %T";
  ImportCueSheet(list, ImportSample("ripper.cue"));
  EXPECT_EQ(Point(0), "2s10f Les Étoiles - Nuit Blanche - 01 Les Étoiles - Ouverture");
  EXPECT_EQ(Point(2), "432s33f Les Étoiles - Nuit Blanche - 03 Invité - Ami - Café ''Noir''");
}

TEST_F(ImportTest, EncodingsAndLineEndsGiveTheSameNames) {
  ImportCueSheet(list, ImportSample("windows1252.cue"));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(Point(0), "0s0f 01 Café Ô");
  EXPECT_EQ(Point(1), "245s6f 02 Œuvre – fin");

  list.Clear();
  Settings().MASK = "%N %D %T";
  ImportCueSheet(list, ImportSample("bom.cue"));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(Point(0), "1s0f 01 Café Café");
  EXPECT_EQ(Point(1), "60s0f 02 Café Obélisque");

  list.Clear();
  ImportCueSheet(list, ImportSample("cr-line-ends.cue"));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(Point(1), "30s0f 02 Mac Two");
}

TEST_F(ImportTest, OddSheetsStillGiveEveryTrack) {
  const std::string path = dir.File("odd.cue");
  test::WriteText(path,
                  "TRACK 01 AUDIO\n"
                  "TITLE \"No index\"\n"
                  "TRACK 02 AUDIO\n"
                  "PERFORMER \"late disc-level line\"\n"
                  "INDEX 01 123:45:67\n"  // minutes past 99 are read whole
                  "INDEX 01 00:00:01\n"   // the first qualifying INDEX wins
                  "TRACK 03 AUDIO\n"
                  "TITLE \"Unclosed \xC3\xA9t\xC3\xA9\n"  // loses a character, not a byte
                  "INDEX 02 00:05:00\n");                 // only a later index: stays at 0 s
  Settings().MASK = "%N %P%T";
  ImportCueSheet(list, path);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(Point(0), "0s0f 01 No index");
  EXPECT_EQ(Point(1), "7425s67f 02 late disc-level line");
  EXPECT_EQ(Point(2), "0s0f 03 Unclosed \xC3\xA9t");
}

TEST_F(ImportTest, UnquotedValuesAreTheRestOfTheLine) {
  const std::string path = dir.File("bare.cue");
  test::WriteText(path,
                  "PERFORMER Les \xC3\x89toiles\n"
                  "TITLE   Nuit Blanche  \n"
                  "TRACK 01 AUDIO\n"
                  "  TITLE Racines\n"
                  "  PERFORMER \"Invit\xC3\xA9\"\n"  // quoted values as before
                  "  INDEX 01 00:00:00\n");
  Settings().MASK = "%A - %D - %N %P - %T";
  ImportCueSheet(list, path);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(Point(0), "0s0f Les \xC3\x89toiles - Nuit Blanche - 01 Invit\xC3\xA9 - Racines");
}

// Some rippers write one file per track, each track at 00:00:00 of its own file: only the
// tracks of the source's file are its cut points.
TEST_F(ImportTest, SheetOfSeveralFilesGivesTheTracksOfTheSourcesFile) {
  const std::string path = dir.File("files.cue");
  test::WriteText(path,
                  "TITLE \"Nuit Blanche\"\n"
                  "FILE \"C:\\Rips\\01 Ouverture.wav\" WAVE\n"
                  "  TRACK 01 AUDIO\n    TITLE \"Ouverture\"\n    INDEX 01 00:00:00\n"
                  "  TRACK 02 AUDIO\n    TITLE \"Racines\"\n    INDEX 00 03:58:20\n"
                  "FILE 02 Racines.wav WAVE\n"  // the pregap of track 2 ends file 1
                  "    INDEX 01 00:00:00\n"
                  "  TRACK 03 AUDIO\n    TITLE \"Coda\"\n    INDEX 01 02:10:00\n"
                  "FILE \"03 Fin.wav\" WAVE\n"
                  "  TRACK 04 AUDIO\n    TITLE \"Fin\"\n    INDEX 01 00:00:00\n");
  EXPECT_TRUE(ImportCueSheet(list, path, "/music/01 ouverture.mp3"));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(Point(0), "0s0f 01 Ouverture");

  list.Clear();
  EXPECT_TRUE(ImportCueSheet(list, path, "/music/02 RACINES.MP3"));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(Point(0), "0s0f 02 Racines");
  EXPECT_EQ(Point(1), "130s0f 03 Coda");

  list.Clear();
  EXPECT_FALSE(ImportCueSheet(list, path, "/music/album.mp3"));
  EXPECT_EQ(list.Count(), 0);

  // One file named, whatever its name: every track is the source's, as always.
  test::WriteText(path,
                  "FILE \"image.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                  "TRACK 02 AUDIO\nINDEX 01 01:00:00\n");
  list.Clear();
  EXPECT_TRUE(ImportCueSheet(list, path, "/music/album.mp3"));
  EXPECT_EQ(list.Count(), 2);
}

std::vector<std::string> SheetLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// A TRACK or INDEX line without a number stops the sheet with a message that names the
// file, the line and what is missing; the tracks before it stay.
TEST_F(ImportTest, MalformedTrackNumberStopsAndKeepsEarlierTracks) {
  const std::string path = dir.File("broken.cue");
  const struct {
    std::string Lines;
    std::string Said;
    int Line;
  } cases[] = {
      {"TRACK  AUDIO", "« TRACK  AUDIO » : numéro de piste manquant", 7},
      {"TRACK AUDIO 3", "« TRACK AUDIO 3 » : numéro de piste manquant", 7},
      {"TRACK 99999999999 AUDIO", "n'est pas un nombre entier valide", 7},
      {"TRACK 03 AUDIO\nINDEX 00:00:00", "« INDEX 00:00:00 » : numéro d'index manquant", 8}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Lines);
    test::WriteText(path,
                    "TRACK 01 AUDIO\nTITLE \"One\"\nINDEX 01 00:00:00\n"
                    "TRACK 02 AUDIO\nTITLE \"Two\"\nINDEX 01 01:00:00\n" +
                        c.Lines + "\nINDEX 01 02:00:00\n");
    list.Clear();
    try {
      ImportCueSheet(list, path);
      ADD_FAILURE() << "no error";
    } catch (const TConversionError& error) {
      const std::string text = error.what();
      EXPECT_TRUE(text.starts_with(path + ", ligne " + std::to_string(c.Line) + " : ")) << text;
      EXPECT_NE(text.find(c.Said), std::string::npos) << text;
    }
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(Point(1), "60s0f 02 Two");
  }
}

// Numbers are read as wide as they are written: one digit as hand-written sheets have them,
// two as rippers write them, three in long mixes. Ordinary sheets read as before.
TEST_F(ImportTest, TrackAndIndexNumbersOfAnyWidth) {
  Settings().MASK = "%N";
  const struct {
    std::string Sheet;
    std::vector<std::string> Points;
  } cases[] = {
      {"TRACK 1 AUDIO\nINDEX 1 00:00:00\nTRACK 2 AUDIO\nINDEX 0 01:00:00\nINDEX 1 01:02:03\n",
       {"0s0f 01", "62s3f 02"}},
      {"TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 01:02:03\n",
       {"0s0f 01", "62s3f 02"}},
      {"  track\t07 audio\n  index\t01\t00:10:00\n", {"10s0f 07"}},
      {"TRACK 099 AUDIO\nINDEX 01 01:00:00\nTRACK 100 AUDIO\nINDEX 01 02:00:00\n"
       "TRACK 101 AUDIO\nINDEX 001 03:00:00\n",
       {"60s0f 99", "120s0f 100", "180s0f 101"}},
      // Long mixes and audiobooks run past 99 minutes: the minutes are read whole.
      {"TRACK 01 AUDIO\nINDEX 01 123:45:67\nTRACK 02 AUDIO\nINDEX 01 100:00:30 \n",
       {"7425s67f 01", "6000s30f 02"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Sheet);
    list.Clear();
    ReadCueSheet(list, SheetLines(c.Sheet));
    std::vector<std::string> points;
    for (int i = 0; i < list.Count(); ++i)
      points.push_back(Point(i));
    EXPECT_EQ(points, c.Points);
  }

  // A mix of 120 tracks gives 120 names, none twice.
  std::string sheet;
  for (int n = 1; n <= 120; ++n)
    sheet += "TRACK " + std::to_string(n) + " AUDIO\nINDEX 01 " + std::to_string(n) + ":00:00\n";
  list.Clear();
  ReadCueSheet(list, SheetLines(sheet));
  ASSERT_EQ(list.Count(), 120);
  std::set<std::string> names;
  for (int i = 0; i < list.Count(); ++i)
    names.insert(list[i].Name);
  EXPECT_EQ(names.size(), 120u);
  EXPECT_EQ(list[99].Name, "100");
}

// Sheets written by rippers on Windows in the code page of their language, read with
// LISTCODEPAGE set to it; the default 1252 reads them as it always has.
TEST_F(ImportTest, SheetsInTheirCodePagesGiveTheirOwnNamesAndTags) {
  struct Case {
    int32_t CodePage;
    std::string Performer;  // as the sheet holds them, in the code page
    std::string Title;
    std::string ExpectedPerformer;
    std::string ExpectedTitle;
  };
  const Case cases[] = {
      {1251, "\xD1\xF3\xEF\xE5\xF0 \xE3\xF0\xF3\xEF\xEF\xE0", "\xD2\xF0\xE5\xEA 01", "Супер группа",
       "Трек 01"},
      {1253, "\xCF\xEC\xDC\xE4\xE1", "\xC8\xDC\xEB\xE1\xF3\xF3\xE1", "Ομάδα", "Θάλασσα"},
      {1250,
       "\xC8"
       "esk\xFD orchestr",
       "P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2", "Český orchestr", "Příliš žluťoučký kůň"},
      {1252, "\xD1\xF3\xEF\xE5\xF0", "\xD2\xF0\xE5\xEA 01", "Ñóïåð", "Òðåê 01"},
  };
  const std::string path = dir.File("album.cue");
  for (const Case& c : cases) {
    Settings().LISTCODEPAGE = c.CodePage;
    test::WriteText(path, "PERFORMER \"" + c.Performer + "\"\r\nTITLE \"" + c.Title +
                              "\"\r\nFILE \"album.wav\" WAVE\r\n  TRACK 01 AUDIO\r\n    TITLE \"" +
                              c.Title + "\"\r\n    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n" +
                              "    INDEX 01 03:00:00\r\n");
    list.Clear();
    ImportCueSheet(list, path);
    ASSERT_EQ(list.Count(), 2) << c.CodePage;
    EXPECT_EQ(list.Album.AlbumArtist, c.ExpectedPerformer) << c.CodePage;
    EXPECT_EQ(list.Album.Album, c.ExpectedTitle) << c.CodePage;
    EXPECT_EQ(list[0].Title, c.ExpectedTitle) << c.CodePage;
    EXPECT_EQ(list[0].Name, "01 " + c.ExpectedTitle) << c.CodePage;
  }
}

TEST_F(ImportTest, DetectionReadsACyrillicSheetAndTheFilesItNames) {
  Settings().LISTCODEPAGE = 0;
  const std::string path = dir.File("album.cue");
  // "Супер группа", "Лучшие песни", "Трек первый", "Ночь" in Windows-1251.
  test::WriteText(path,
                  "PERFORMER \"\xD1\xF3\xEF\xE5\xF0 \xE3\xF0\xF3\xEF\xEF\xE0\"\n"
                  "TITLE \"\xCB\xF3\xF7\xF8\xE8\xE5 \xEF\xE5\xF1\xED\xE8\"\n"
                  "FILE \"\xC4\xE8\xF1\xEA 1.wav\" WAVE\n"
                  "  TRACK 01 AUDIO\n    TITLE \"\xD2\xF0\xE5\xEA \xEF\xE5\xF0\xE2\xFB\xE9\"\n"
                  "    INDEX 01 00:00:00\n"
                  "FILE \"\xC4\xE8\xF1\xEA 2.wav\" WAVE\n"
                  "  TRACK 02 AUDIO\n    TITLE \"\xCD\xEE\xF7\xFC\"\n    INDEX 01 00:00:00\n");
  ASSERT_TRUE(ImportCueSheet(list, path, "/music/Диск 2.mp3"));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0].Name, "02 Ночь");
  EXPECT_EQ(list.Album.AlbumArtist, "Супер группа");
  EXPECT_EQ(list.Album.Album, "Лучшие песни");
}

// A mask that leaves a track's name empty names it by its number: "%T" over a sheet
// without titles still cuts every track.
TEST_F(ImportTest, AnEmptyMaskResultFallsBackToTheTrackNumber) {
  Settings().MASK = "%T";
  TImportNotes notes;
  ReadCueSheet(list,
               SheetLines("TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nTITLE \"Two\"\n"
                          "INDEX 01 01:00:00\nTRACK 03 AUDIO\nTITLE \"  \"\nINDEX 01 02:00:00\n"),
               {}, &notes);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[0].Name, "01");
  EXPECT_EQ(list[1].Name, "Two");
  EXPECT_EQ(list[2].Name, "03");
  EXPECT_EQ(notes.NumberedTracks, 2);
}

}  // namespace
}  // namespace zembrio
