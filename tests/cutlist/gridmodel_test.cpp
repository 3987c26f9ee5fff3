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

TEST_F(GridModel, EmptyListShowsTheSingleZeroRow) {
  const auto rows = GridRowTexts(list);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Start, "00m 00s 00f");
  EXPECT_EQ(rows[0].Name, "");
  EXPECT_EQ(rows[0].Duration, "(---> fin)");
  EXPECT_EQ(RowColour(rows[0].Name), kSkippedRowColour);
  EXPECT_EQ(RowColour("x"), kNamedRowColour);
}

TEST_F(GridModel, ZeroPointOnlyWhenTheListDoesNotStartAtZero) {
  TCutPoint& zeroMs = list.Add();
  SetMilliseconds(zeroMs, 0, 0);
  zeroMs.Name = "named start";
  EnsureZeroPoint(list);
  EXPECT_EQ(list.Count(), 1);

  list.Clear();
  AddAt(2, 10, "late");
  EnsureZeroPoint(list);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_TRUE(list[0].IsSkipped());
  EXPECT_EQ(list[1].Name, "late");
}

TEST_F(GridModel, DurationsBorrowASecondInEitherUnit) {
  AddAt(10, 50);
  AddAt(12, 20);
  EXPECT_EQ(FragmentDurationText(list, 0), "00m 01s 45f");
  EXPECT_EQ(FragmentDurationText(list, 1), "(---> fin)");

  Settings().TIME_TYPE = 0;
  list.Clear();
  SetMilliseconds(list.Add(), 1, 900);
  SetMilliseconds(list.Add(), 3, 100);
  EXPECT_EQ(FragmentDurationText(list, 0), "00m 01s 200ms");
}

TEST_F(GridModel, NewRowShowsNoStartAndAddingCopiesTheSelectedTime) {
  AddAt(0, 0);
  AddAt(10, 0, "b");
  const int row = AddRowAfter(list, 2);
  EXPECT_EQ(row, 3);
  auto rows = GridRowTexts(list);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].Start, "");
  EXPECT_EQ(rows[1].Duration, "00m 00s 00f");

  // Down arrow on the unedited new last row: it is dropped and added again, not doubled.
  EXPECT_EQ(AddRowAfter(list, 3), 3);
  EXPECT_EQ(list.Count(), 3);
}

TEST_F(GridModel, StartCellEditsReadTheTextAsTheGridShowsIt) {
  TCutPoint& point = AddAt(5, 0);
  point.IsNew = true;
  ApplyStartCellText(point, "90");  // 90 frames: not a time, the old one stays
  EXPECT_FALSE(point.IsNew);
  EXPECT_EQ(point.Seconds, 5);
  ApplyStartCellText(point, "1:30");
  EXPECT_EQ(point.Seconds, 60);
  EXPECT_EQ(point.Frames, 30);
  ApplyNameCellText(point, "a/b?");
  EXPECT_EQ(point.Name, "a/b?");  // typed names stay as typed
}

TEST_F(GridModel, ActionsAndEditingFollowTheSelectedRow) {
  const TGridActionStates zeroRow = GridActionStates(true, 1, 4);
  EXPECT_TRUE(zeroRow.Add);
  EXPECT_FALSE(zeroRow.Delete);
  EXPECT_FALSE(zeroRow.LinkToPrevious);
  EXPECT_TRUE(zeroRow.LinkToNext);
  const TGridActionStates lastRow = GridActionStates(true, 3, 4);
  EXPECT_TRUE(lastRow.Delete);
  EXPECT_FALSE(lastRow.LinkToNext);
  const TGridActionStates busy = GridActionStates(false, 2, 4);
  EXPECT_FALSE(busy.Add || busy.Delete || busy.LinkToNext || busy.Import || busy.ClearList);

  EXPECT_FALSE(IsCellEditable(Settings().ColStart, 1));
  EXPECT_TRUE(IsCellEditable(Settings().ColStart, 2));
  EXPECT_TRUE(IsCellEditable(Settings().ColName, 1));
  EXPECT_FALSE(IsCellEditable(Settings().ColDuration, 2));
}

TEST_F(GridModel, RowHeightRoundsHalvesToEven) {
  EXPECT_EQ(GridRowHeight(-13), 20);  // 16.9
  EXPECT_EQ(GridRowHeight(5), 9);     // 6.5 -> 6
  EXPECT_EQ(GridRowHeight(15), 23);   // 19.5 -> 20
}

}  // namespace
}  // namespace zembrio
