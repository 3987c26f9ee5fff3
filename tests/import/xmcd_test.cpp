#include "import/xmcd.h"

#include "importfixture.h"

namespace zembrio {
namespace {

using test::ImportSample;
using test::ImportTest;

TEST_F(ImportTest, FreedbFileGivesOffsetsLessTheLeadIn) {
  EXPECT_TRUE(ImportXmcd(list, feedback, ImportSample("various.xmcd")));
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(Point(0), "0s0f 01 Chanson");
  EXPECT_EQ(Point(1), "238s0f 02 Plage sans interprète");
  EXPECT_EQ(Point(2), "442s0f 03 Une très longue chanson dont le titre est coupé en deux lignes");
  EXPECT_EQ(Point(3), "664s50f 04 Quatre-");
  EXPECT_TRUE(feedback.Messages.empty());
}

TEST_F(ImportTest, VariousArtistsFieldsAndJoinedLines) {
  Settings().MASK = "%N %P - %T (%A, %D) 100%%";
  ImportXmcd(list, feedback, ImportSample("various.xmcd"));
  ASSERT_EQ(list.Count(), 4);
  const std::string disc = "(Various, Les Plus Grands Succès de l'Été) 100%";
  EXPECT_EQ(list[0].Name, "01 Artiste X - Chanson " + disc);
  EXPECT_EQ(list[1].Name, "02 Various - Plage sans interprète " + disc);
}

TEST_F(ImportTest, VariousArtistsFileKeepsTheFieldsForTheTags) {
  ASSERT_TRUE(ImportXmcd(list, feedback, ImportSample("various.xmcd")));
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Album.Album, "Les Plus Grands Succès de l'Été");
  EXPECT_EQ(list.Album.AlbumArtist, "Various");
  EXPECT_EQ(list.Album.Date, "1998");
  EXPECT_EQ(list.Album.Genre, "Pop");
  EXPECT_EQ(list[0].Artist, "Artiste X");
  EXPECT_EQ(list[1].Artist, "Various");
  EXPECT_EQ(list[1].Title, "Plage sans interprète");
  EXPECT_EQ(list[3].Title, "Quatre?");
}

TEST_F(ImportTest, NotAnXmcdFileImportsNothingSilently) {
  EXPECT_TRUE(ImportXmcd(list, feedback, ImportSample("ripper.cue")));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(feedback.Messages.empty());
}

TEST_F(ImportTest, BadOffsetShowsItsMessageAndKeepsEarlierTracks) {
  const std::string path = dir.File("bad.xmcd");
  test::WriteText(path,
                  "# xmcd\n# Track frame offsets:\n# 150\n# 1500\n# 12x\n# 40\n#\n"
                  "TTITLE0=A\nTTITLE1=B\nTTITLE2=C\n");
  EXPECT_FALSE(ImportXmcd(list, feedback, path));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(Point(1), "18s0f 02 B");
  ASSERT_EQ(feedback.Messages.size(), 1u);
  EXPECT_EQ(feedback.Messages[0], "Erreur survenue à l'analyse du fich xmcd: " + path +
                                      ", ligne 5 : « 12x » n'est pas un nombre entier valide");
}

TEST_F(ImportTest, OffsetListToTheFirstEmptyCommentAndLeadInOffsets) {
  const std::string path = dir.File("short.xmcd");
  test::WriteText(path,
                  "# XMCD\n# Track frame offsets:\n# 100\nstray\n\n#\t-2147483648 \n# 225\n"
                  "# \n# 999\n");
  EXPECT_TRUE(ImportXmcd(list, feedback, path));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(Point(0), "0s0f 01 ");  // inside the lead-in: the zero time
  EXPECT_EQ(Point(1), "0s0f 02 ");
  EXPECT_EQ(Point(2), "1s0f 03 ");
}

// freedb files of Greek discs were sent in Windows-1253.
TEST_F(ImportTest, FileInItsCodePageGivesItsOwnNames) {
  Settings().LISTCODEPAGE = 1253;
  const std::string path = dir.File("greek.xmcd");
  test::WriteText(path,
                  "# xmcd\n# Track frame offsets:\n# 150\n# 15150\n#\n"
                  "DTITLE=\xCF\xEC\xDC\xE4\xE1 / \xC8\xDC\xEB\xE1\xF3\xF3\xE1\nTTITLE0=\xC1\n"
                  "TTITLE1=\xC2\xAA\n");
  EXPECT_TRUE(ImportXmcd(list, feedback, path));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Album.AlbumArtist, "Ομάδα");
  EXPECT_EQ(list.Album.Album, "Θάλασσα");
  EXPECT_EQ(Point(0), "0s0f 01 Α");
  EXPECT_EQ(Point(1), "200s0f 02 Β\xEF\xBF\xBD");  // 0xAA is no Greek character
}

}  // namespace
}  // namespace zembrio
