#include "import/plaintext.h"

#include "core/timevalue.h"
#include "importfixture.h"

namespace zembrio {
namespace {

using test::ImportSample;
using test::ImportTest;

TEST_F(ImportTest, TimeThenNameLines) {
  ImportPlainText(list, ImportSample("time-name.txt"));
  ASSERT_EQ(list.Count(), 6);
  EXPECT_EQ(Point(0), "0s0f Ouverture");
  EXPECT_EQ(Point(1), "205s10f Song");
  EXPECT_EQ(Point(2), "205s10f Song B");
  EXPECT_EQ(Point(3), "420s0f AC-DC- Live");  // the name keeps its own separator
  EXPECT_EQ(Point(4), "0s0f ");               // an empty line is a skipped stretch
  EXPECT_EQ(Point(5), "0s0f nom sans temps");
}

TEST_F(ImportTest, NameThenTimeLines) {
  Settings().PLAINTEXTFMT = 1;
  ImportPlainText(list, ImportSample("name-time.txt"));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(Point(0), "0s0f Intro");
  EXPECT_EQ(Point(1), "720s0f AC-DC - Live");
  EXPECT_EQ(Point(2), "930s5f Fin");
}

TEST_F(ImportTest, TimesAreReadAsTheGridReadsThem) {
  const std::string path = dir.File("times.txt");
  test::WriteText(path, "3:25/short\n75/out of range\n1:02:500/Intro\n");
  ImportPlainText(list, path);
  EXPECT_EQ(Point(0), "180s25f short");  // minutes and frames, not seconds
  EXPECT_EQ(Point(1), "0s0f out of range");

  list.Clear();
  Settings().TIME_TYPE = 0;
  Settings().PLTXTSEP = " - ";
  test::WriteText(path, "1:02:500 - Intro - Live\n");
  ImportPlainText(list, path);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0].Kind, TTimeKind::tkMilliseconds);
  EXPECT_EQ(list[0].Seconds, 62);
  EXPECT_EQ(list[0].Milliseconds, 500);
  EXPECT_EQ(list[0].Name, "Intro - Live");
}

TEST_F(ImportTest, OverlongNumberStopsAndKeepsEarlierLines) {
  const std::string path = dir.File("overflow.txt");
  test::WriteText(path, "0:00:00/a\n1:00:00/b\n99999999999:00/c\n2:00:00/d\n");
  EXPECT_THROW(ImportPlainText(list, path), TConversionError);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(Point(1), "60s0f b");
}

TEST_F(ImportTest, LinesInTheirCodePageGiveTheirOwnNames) {
  const std::string path = dir.File("polish.txt");
  test::WriteText(path,
                  "0:00:00/\xA3\xF3"
                  "d\x9F\n1:00:00/\x9Cpiew\n");  // "Łódź", "śpiew"
  Settings().LISTCODEPAGE = 1250;
  ImportPlainText(list, path);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(Point(0), "0s0f Łódź");
  EXPECT_EQ(Point(1), "60s0f śpiew");
}

}  // namespace
}  // namespace zembrio
