// The cut grid driven through its editor and its toolbar, as a user types.
#include <QTest>

#include "cutlist/cutpoint.h"
#include "uitesthelpers.h"
#include "uitestregistry.h"

namespace zembrio::test {

class TestCutGrid : public QObject {
  Q_OBJECT

 private slots:
  void typedStartsAndNamesSortAndKeepTheSelection() {
    TStartedWindow started;
    started.Start();
    TCutGrid* grid = started.Window->Grid();
    TypeIntoCell(grid, 1, 1, "intro");
    QCOMPARE(started.Window->CutList()->Item(0)->Name, std::string("intro"));
    QCOMPARE(grid->CellText(1, 1), QString("intro"));
    QCOMPARE(grid->RowColor(1), QColor(240, 240, 240));

    started.Action("ACAdd")->trigger();
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(grid->SelectedRow(), 2);
    QCOMPARE(grid->CellText(2, 0), QString());  // a new row shows no start yet
    QCOMPARE(grid->CellText(1, 2), QString("00m 00s 00f"));
    TypeIntoCell(grid, 2, 0, "1:30");
    QCOMPARE(grid->CellText(2, 0), QString("01m 00s 30f"));
    // 90 CD frames is no time: the start stays. (Typed key by key, "9" would be one.)
    TypeIntoCell(grid, 2, 0, "90", Qt::Key_Return, TEntry::Pasted);
    QCOMPARE(grid->CellText(2, 0), QString("01m 00s 30f"));
    TypeIntoCell(grid, 2, 1, "b");

    started.Action("ACAdd")->trigger();
    TypeIntoCell(grid, 3, 1, "a");
    TypeIntoCell(grid, 3, 0, "0:10:50");
    // "a" starts before "b": it moved up to row 2 and stays selected.
    QCOMPARE(grid->CellText(2, 1), QString("a"));
    QCOMPARE(grid->CellText(3, 1), QString("b"));
    QCOMPARE(grid->SelectedRow(), 2);
    QCOMPARE(grid->CellText(2, 0), QString("00m 10s 50f"));
    QCOMPARE(grid->CellText(1, 2), QString("00m 10s 50f"));
    QCOMPARE(grid->CellText(3, 2), QString("(---> fin)"));
  }

  void escapeGivesTheCutPointItsOldValue() {
    TStartedWindow started;
    started.Start();
    TCutGrid* grid = started.Window->Grid();
    TypeIntoCell(grid, 1, 1, "keep");
    TypeIntoCell(grid, 1, 1, "typed then dropped", Qt::Key_Escape);
    QCOMPARE(started.Window->CutList()->Item(0)->Name, std::string("keep"));
    QCOMPARE(grid->CellText(1, 1), QString("keep"));
  }

  void actionsFollowTheSelectedRow() {
    TStartedWindow started;
    started.Start();
    TCutGrid* grid = started.Window->Grid();
    QAction* remove = started.Action("ACDelete");
    QAction* linkPrevious = started.Action("ACJoinPrew");
    QAction* linkNext = started.Action("ACJoinNext");
    started.Action("ACAdd")->trigger();
    TypeIntoCell(grid, 2, 0, "5");
    QVERIFY(remove->isEnabled() && linkPrevious->isEnabled() && !linkNext->isEnabled());
    grid->SelectRow(1);
    QVERIFY(!remove->isEnabled() && !linkPrevious->isEnabled() && linkNext->isEnabled());

    // Down arrow on the last row appends a row; an unedited new row goes on selection.
    grid->SelectRow(2);
    QTest::keyClick(grid, Qt::Key_Down);
    QCOMPARE(grid->rowCount(), 3);
    QVERIFY(started.Window->CutList()->Item(2)->IsNew);
    grid->SelectRow(1);
    QCOMPARE(grid->rowCount(), 2);

    grid->SelectRow(2);
    remove->trigger();
    QCOMPARE(grid->rowCount(), 1);
    started.Action("ACAdd")->trigger();
    TypeIntoCell(grid, 2, 0, "7");
    started.Action("ACClearList")->trigger();
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(grid->CellText(1, 0), QString("00m 00s 00f"));
  }

  void aTooLongNumberIsReportedAndLeavesTheStart() {
    TStartedWindow started;
    started.Start();
    TModalScript script;
    TCutGrid* grid = started.Window->Grid();
    started.Action("ACAdd")->trigger();
    TypeIntoCell(grid, 2, 0, "4s");
    TypeIntoCell(grid, 2, 0, "99999999999", Qt::Key_Return, TEntry::Pasted);
    QTRY_VERIFY(!script.Messages.isEmpty());
    QCOMPARE(grid->CellText(2, 0), QString("00m 04s 00f"));
  }
};

static TRegisterUiTest<TestCutGrid> registerCutGrid;

}  // namespace zembrio::test

#include "grid_test.moc"
