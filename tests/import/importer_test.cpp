#include "import/importer.h"

#include "core/timevalue.h"
#include "cutlist/gridmodel.h"
#include "importfixture.h"

namespace zembrio {
namespace {

using test::ImportSample;
using test::ImportTest;

TEST_F(ImportTest, ImportReplacesTheListAndTheGridAddsTheZeroPoint) {
  list.Add().Name = "old";
  Settings().ZEROINDEX = false;
  const std::string path = ImportSample("ripper.cue");
  ImportTrackList(list, feedback, path, tlCue);
  EXPECT_EQ(feedback.InfoTexts, std::vector<std::string>{path + " chargé."});
  EXPECT_EQ(feedback.GridRefreshes, 1);
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(GridRowTexts(list).size(), 5u);  // track 1 starts at 2 s 10 frames
  EXPECT_TRUE(list[0].IsSkipped());
  EXPECT_EQ(list[1].Name, "01 Ouverture");
}

TEST_F(ImportTest, TheChosenTypeDecidesAndAMissingFileGivesNothing) {
  ImportTrackList(list, feedback, ImportSample("ripper.cue"), tlPlainText);
  EXPECT_EQ(list.Count(), 31);  // one cut point per line
  ImportTrackList(list, feedback, ImportSample("ripper.cue"), 7);
  EXPECT_EQ(list.Count(), 0);
  ImportTrackList(list, feedback, dir.File("gone.cue"), tlCue);
  EXPECT_EQ(feedback.InfoTexts.size(), 2u);  // nothing said about the missing file
  EXPECT_EQ(GridRowTexts(list).size(), 1u);
}

TEST_F(ImportTest, FailingSheetKeepsItsEarlierTracksAndTheText) {
  const std::string path = dir.File("broken.cue");
  test::WriteText(path, "TRACK 01 AUDIO\nINDEX 01 00:10:00\nTRACK AUDIO\n");
  EXPECT_THROW(ImportTrackList(list, feedback, path, tlCue), TConversionError);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(feedback.InfoTexts.size(), 1u);
  EXPECT_EQ(feedback.GridRefreshes, 1);
}

TEST_F(ImportTest, SheetOfOtherFilesImportsNothingAndSaysSo) {
  const std::string path = dir.File("album.cue");
  test::WriteText(path,
                  "FILE \"01.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                  "FILE \"02.wav\" WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n");
  ImportTrackList(list, feedback, path, tlCue, dir.File("album.mp3"));
  EXPECT_EQ(list.Count(), 0);
  // A message, not an info text: it must reach standard error whatever the terminal.
  EXPECT_EQ(feedback.Messages.back(),
            path +
                " décrit plusieurs fichiers, aucun n'est album.mp3 : rien n'est importé.\n"
                "Fichiers de la liste :\n  1. 01.wav (1 piste(s))\n  2. 02.wav (1 piste(s))");
  ImportTrackList(list, feedback, path, tlCue, dir.File("02.mp3"));
  EXPECT_EQ(list.Count(), 1);
}

TEST_F(ImportTest, ChosenFileOfASheetTakesItsTracksByNameOrNumber) {
  const std::string path = dir.File("album.cue");
  // Gaps left out: track 2 is opened in 01.wav (its INDEX 00) but starts in 02.wav.
  test::WriteText(path,
                  "FILE \"01.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                  "TRACK 02 AUDIO\nINDEX 00 03:00:00\nFILE \"02.wav\" WAVE\nINDEX 01 00:00:00\n"
                  "TRACK 03 AUDIO\nINDEX 01 02:00:00\n");
  EXPECT_TRUE(ImportTrackList(list, feedback, path, tlCue, dir.File("album.mp3"), "02.wav"));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_TRUE(ImportTrackList(list, feedback, path, tlCue, dir.File("album.mp3"), "1"));
  EXPECT_EQ(list.Count(), 1);
  EXPECT_FALSE(ImportTrackList(list, feedback, path, tlCue, dir.File("01.mp3"), "3"));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(feedback.Messages.back().starts_with(path + " ne décrit aucun fichier « 3 »"));
}

TEST_F(ImportTest, BesideTheSourceCueComesBeforeXmcd) {
  const std::string source = dir.File("song.mp3");
  test::WriteText(dir.File("song.cue"), "TRACK 01 AUDIO\nTITLE \"From cue\"\nINDEX 01 00:00:00\n");
  test::WriteText(dir.File("song.xmcd"), "# xmcd\n# Track frame offsets:\n# 150\n#\n");
  LoadTrackListBesideSource(list, feedback, source);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0].Name, "01 From cue");

  std::remove(dir.File("song.cue").c_str());
  LoadTrackListBesideSource(list, feedback, source);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0].Name, "01 ");

  test::WriteText(dir.File("song.txt"), "0:00:00/never loaded\n");
  std::remove(dir.File("song.xmcd").c_str());
  LoadTrackListBesideSource(list, feedback, source);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(feedback.GridRefreshes, 3);
}

}  // namespace
}  // namespace zembrio
