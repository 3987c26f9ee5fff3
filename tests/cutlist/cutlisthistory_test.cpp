#include "cutlist/cutlisthistory.h"

#include <gtest/gtest.h>

#include <string>

namespace zembrio {
namespace {

class CutListHistory : public ::testing::Test {
 protected:
  TCutPoint& AddAt(int seconds, const std::string& name) {
    TCutPoint& point = list.Add();
    SetMilliseconds(point, seconds, 0);
    point.Name = name;
    return point;
  }
  std::string Names() const {
    std::string names;
    for (int i = 0; i < list.Count(); ++i)
      names += (i ? "," : "") + list[i].Name;
    return names;
  }
  TCPList list;
  TCutListHistory history;
};

TEST_F(CutListHistory, UndoesAndRedoesEachKindOfChange) {
  AddAt(0, "zero");
  history.Reset(list);
  AddAt(10, "ten");
  EXPECT_TRUE(history.Record(list));
  list[1].Title = "Ten";
  EXPECT_TRUE(history.Record(list));
  list.Album.Album = "Disc";
  EXPECT_TRUE(history.Record(list));

  ASSERT_TRUE(history.Undo(list));
  EXPECT_EQ(list.Album.Album, "");
  ASSERT_TRUE(history.Undo(list));
  EXPECT_EQ(list[1].Title, "");
  ASSERT_TRUE(history.Undo(list));
  EXPECT_EQ(Names(), "zero");
  EXPECT_FALSE(history.Undo(list));

  ASSERT_TRUE(history.Redo(list));
  ASSERT_TRUE(history.Redo(list));
  ASSERT_TRUE(history.Redo(list));
  EXPECT_EQ(Names(), "zero,ten");
  EXPECT_EQ(list[1].Title, "Ten");
  EXPECT_EQ(list.Album.Album, "Disc");
  EXPECT_FALSE(history.Redo(list));
}

TEST_F(CutListHistory, OrderReportsAndBlankRowsMakeNoStep) {
  AddAt(20, "b");
  AddAt(10, "a");
  history.Reset(list);
  list.SortByTime();
  list[0].Report = {"written"};
  list.Add().IsNew = true;
  EXPECT_FALSE(history.Record(list));
  EXPECT_FALSE(history.CanUndo());
}

TEST_F(CutListHistory, ANewStepDropsTheRedoAndAPendingChangeIsUndoneFirst) {
  history.Reset(list);
  AddAt(5, "five");
  history.Record(list);
  history.Undo(list);
  EXPECT_TRUE(history.CanRedo());
  AddAt(7, "seven");
  history.Record(list);
  EXPECT_FALSE(history.CanRedo());

  // A name typed but not yet recorded: undo takes it back, not the step before it.
  list[0].Name = "typed";
  ASSERT_TRUE(history.Undo(list));
  EXPECT_EQ(Names(), "seven");
}

TEST_F(CutListHistory, KeepsTheNewestStepsUpToItsDepth) {
  TCutListHistory shallow(3);
  shallow.Reset(list);
  for (int step = 1; step <= 5; ++step) {
    AddAt(step, std::to_string(step));
    shallow.Record(list);
  }
  EXPECT_EQ(shallow.UndoCount(), 3u);
  while (shallow.Undo(list)) {
  }
  EXPECT_EQ(Names(), "1,2");
}

}  // namespace
}  // namespace zembrio
