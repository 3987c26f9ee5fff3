#include "cutlist/cutpoint.h"

#include <gtest/gtest.h>

#include <string>

namespace zembrio {
namespace {

class CutPointList : public ::testing::Test {
 protected:
  TCutPoint& AddAt(int seconds, int frames, const std::string& name = "") {
    TCutPoint& point = list.Add();
    SetFrames(point, seconds, frames);
    point.Name = name;
    return point;
  }
  std::string Names() const {
    std::string names;
    for (int i = 0; i < list.Count(); ++i) {
      names += (i ? "," : "") + list[i].Name;
    }
    return names;
  }
  TCPList list;
};

TEST_F(CutPointList, SortIsStableOnMillisecondsAndKeepsAddresses) {
  EXPECT_EQ(list.Item(0), nullptr);
  TCutPoint& ten = AddAt(10, 0, "ten");
  EXPECT_EQ(list.Item(1), nullptr);
  AddAt(5, 0, "A");
  AddAt(5, 0, "B");
  AddAt(5, 1, "C");                   // one frame later than A and B
  SetMilliseconds(list.Add(), 5, 5);  // 5 ms: between B and C whatever the kind
  list.SortByTime();
  EXPECT_EQ(Names(), "A,B,,C,ten");
  EXPECT_EQ(list.Item(4), &ten);
}

TEST_F(CutPointList, LinksAtTheEdgesOfTheList) {
  AddAt(0, 0);
  AddAt(12, 20, "first");
  AddAt(30, 0, "second");
  list.LinkToPrevious(1);  // the list still starts at 0 s, now with a named fragment
  ASSERT_EQ(Names(), "first,second");
  EXPECT_EQ(list[0].Seconds, 0);
  EXPECT_EQ(list[0].Frames, 0);
  EXPECT_THROW(list.LinkToPrevious(0), std::out_of_range);

  list.LinkToNext(0);  // the second-to-last absorbs the last: it runs to the end
  EXPECT_EQ(Names(), "first");
  EXPECT_THROW(list.LinkToNext(0), std::out_of_range);
}

TEST_F(CutPointList, InsertNewAfterCopiesTheTimeAndPurgeRemovesEveryNewPoint) {
  AddAt(0, 0, "a");
  AddAt(10, 40, "b");
  TCutPoint& added = list.InsertNewAfter(1);
  EXPECT_EQ(list.IndexOf(&added), 2);
  EXPECT_TRUE(added.IsNew && added.IsSkipped());
  EXPECT_EQ(added.Seconds, 10);
  EXPECT_EQ(added.Frames, 40);
  EXPECT_EQ(added.Kind, TTimeKind::tkCdFrames);

  list.InsertNewAfter(0);
  list.InsertNewAfter(0);  // two new points in a row
  ASSERT_EQ(list.Count(), 5);
  list.PurgeNew();
  EXPECT_EQ(Names(), "a,b");
}

}  // namespace
}  // namespace zembrio
