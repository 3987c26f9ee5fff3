#include "cutlist/cutpoint.h"

#include <gtest/gtest.h>

#include <string>

namespace zembrio {
namespace {

TCutPoint& AddAt(TCPList& list, int seconds, int frames, const std::string& name = "") {
  TCutPoint& point = list.Add();
  SetFrames(point, seconds, frames);
  point.Name = name;
  return point;
}

std::string Names(const TCPList& list) {
  std::string names;
  for (int i = 0; i < list.Count(); ++i) {
    names += (i ? "," : "") + list[i].Name;
  }
  return names;
}

TEST(CutPointList, ItemIsNullOutsideTheList) {
  TCPList list;
  EXPECT_EQ(list.Item(0), nullptr);
  TCutPoint& only = list.Add();
  EXPECT_EQ(list.Item(0), &only);
  EXPECT_EQ(list.Item(1), nullptr);
  EXPECT_EQ(list.Item(-1), nullptr);
  EXPECT_THROW(list.Delete(1), std::out_of_range);
}

TEST(CutPointList, SortIsStableAndKeepsAddresses) {
  TCPList list;
  TCutPoint& ten = AddAt(list, 10, 0, "ten");
  AddAt(list, 5, 0, "A");
  AddAt(list, 5, 0, "B");
  AddAt(list, 5, 1, "C");  // one frame later than A and B
  list.SortByTime();
  EXPECT_EQ(Names(list), "A,B,C,ten");
  EXPECT_EQ(list.Item(3), &ten);

  TCPList single;
  AddAt(single, 3, 0, "x");
  single.SortByTime();
  EXPECT_EQ(Names(single), "x");
}

TEST(CutPointList, SortUsesMillisecondsWhateverTheKind) {
  TCPList list;
  TCutPoint& ms = list.Add();
  SetMilliseconds(ms, 1, 500);
  ms.Name = "ms";
  AddAt(list, 1, 30, "frames");  // 400 ms
  list.SortByTime();
  EXPECT_EQ(Names(list), "frames,ms");
}

TEST(CutPointList, LinkToPreviousAtOneKeepsTheZeroStartAndTheName) {
  TCPList list;
  AddAt(list, 0, 0);
  AddAt(list, 12, 20, "first");
  AddAt(list, 30, 0, "second");
  list.LinkToPrevious(1);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0].Name, "first");
  EXPECT_EQ(list[0].Seconds, 0);
  EXPECT_EQ(list[0].Frames, 0);
  EXPECT_THROW(list.LinkToPrevious(0), std::out_of_range);
}

TEST(CutPointList, LinkToNextDropsTheFollowingPoint) {
  TCPList list;
  AddAt(list, 0, 0, "a");
  AddAt(list, 10, 0, "b");
  AddAt(list, 20, 0, "c");
  list.LinkToNext(1);
  EXPECT_EQ(Names(list), "a,b");
  EXPECT_THROW(list.LinkToNext(1), std::out_of_range);
}

TEST(CutPointList, InsertNewAfterCopiesTheTimeAndPurgeRemovesEveryNewPoint) {
  TCPList list;
  AddAt(list, 0, 0, "a");
  AddAt(list, 10, 40, "b");
  TCutPoint& added = list.InsertNewAfter(1);
  EXPECT_EQ(list.IndexOf(&added), 2);
  EXPECT_TRUE(added.IsNew);
  EXPECT_TRUE(added.IsSkipped());
  EXPECT_EQ(added.Seconds, 10);
  EXPECT_EQ(added.Frames, 40);
  EXPECT_EQ(added.Kind, TTimeKind::tkCdFrames);

  list.InsertNewAfter(0);
  list.InsertNewAfter(0);  // two new points in a row
  ASSERT_EQ(list.Count(), 5);
  list.PurgeNew();
  EXPECT_EQ(Names(list), "a,b");
}

}  // namespace
}  // namespace zembrio
