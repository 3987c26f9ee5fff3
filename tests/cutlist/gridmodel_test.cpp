#include "cutlist/gridmodel.h"

#include <gtest/gtest.h>

#include "core/settings.h"

namespace zembrio {
namespace {

class GridModel : public ::testing::Test {
 protected:
  void SetUp() override { Settings() = TSettings{}; }
  void TearDown() override { Settings() = TSettings{}; }

  TCutPoint& AddAt(int seconds, int frames, const std::string& name = "") {
    TCutPoint& point = list.Add();
    SetFrames(point, seconds, frames);
    point.Name = name;
    return point;
  }

  TCPList list;
};

TEST_F(GridModel, ZeroRowOnlyWhenTheListDoesNotStartAtZero) {
  auto rows = GridRowTexts(list);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Start + "|" + rows[0].Name + "|" + rows[0].Duration, "00m 00s 00f||(---> fin)");
  EXPECT_EQ(RowColour(rows[0].Name), kSkippedRowColour);

  list[0].Name = "named start";
  EnsureZeroPoint(list);
  EXPECT_EQ(list.Count(), 1);

  list.Clear();
  AddAt(2, 10, "late");
  EnsureZeroPoint(list);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_TRUE(list[0].IsSkipped());
}

TEST_F(GridModel, DurationsBorrowASecondInEitherUnit) {
  AddAt(10, 50);
  AddAt(12, 20);
  EXPECT_EQ(FragmentDurationText(list, 0), "00m 01s 45f");

  Settings().TIME_TYPE = 0;
  list.Clear();
  SetMilliseconds(list.Add(), 1, 900);
  SetMilliseconds(list.Add(), 3, 100);
  EXPECT_EQ(FragmentDurationText(list, 0), "00m 01s 200ms");
}

TEST_F(GridModel, AddedRowCopiesTheSelectedTimeUntilEdited) {
  AddAt(0, 0);
  AddAt(10, 0, "b");
  EXPECT_EQ(AddRowAfter(list, 2), 3);
  auto rows = GridRowTexts(list);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].Start, "");
  EXPECT_EQ(rows[1].Duration, "00m 00s 00f");

  // Down arrow on the unedited new last row: it is dropped and added again, not doubled.
  EXPECT_EQ(AddRowAfter(list, 3), 3);
  EXPECT_EQ(list.Count(), 3);

  TCutPoint& added = list[2];
  ApplyStartCellText(added, "90");  // 90 frames is no time: the copied one stays
  EXPECT_FALSE(added.IsNew);
  EXPECT_EQ(added.Seconds, 10);
  ApplyStartCellText(added, "1:30");
  EXPECT_EQ(added.Seconds, 60);
  EXPECT_EQ(added.Frames, 30);
}

TEST_F(GridModel, RowHeightRoundsHalvesToEven) {
  EXPECT_EQ(GridRowHeight(-13), 20);  // 16.9
  EXPECT_EQ(GridRowHeight(5), 9);     // 6.5 -> 6
  EXPECT_EQ(GridRowHeight(15), 23);   // 19.5 -> 20
}

}  // namespace
}  // namespace zembrio
