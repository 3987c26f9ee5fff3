// Editing the cut list as users of sound editors expect: undo and redo of every kind of
// change, named points at the cursor, the strip's keys, the readouts and snapping.
#include <QLabel>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <filesystem>

#include "core/settings.h"
#include "cutlist/cutlisthistory.h"
#include "cutlist/cutpoint.h"
#include "import/cuesheet.h"
#include "sound/proposals.h"
#include "ui/cutpage.h"
#include "ui/soundpanel.h"
#include "ui/tagpanel.h"
#include "ui/wavestrip.h"
#include "uitesthelpers.h"
#include "uitestregistry.h"

namespace zembrio::test {

namespace {

struct TEditWindow {
  TStartedWindow Started;
  TCutPage* Page = nullptr;
  TWaveStrip* Strip = nullptr;
  TCutGrid* Grid = nullptr;

  // Times in milliseconds unless the test asks for CD frames.
  void Start(const std::string& settings = "TIME_TYPE=0\n") {
    Started.Start("", settings);
    Page = Started.Window->CutPage();
    Strip = Page->Strip();
    Grid = Started.Window->Grid();
    Strip->SetLevels(LevelsWithPause());
    QVERIFY(QTest::qWaitForWindowExposed(Started.Window.get()));
  }
  TCPList& List() const { return *Started.Window->CutList(); }
  QString Names() const {
    QStringList names;
    for (int index = 0; index < List().Count(); ++index)
      names << QString::fromStdString(List()[index].Name);
    return names.join(",");
  }
  int64_t StartMs(int row) const { return PositionAt(*List().Item(row - 1), 1000); }
  void Key(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(widget, key, modifiers);
    QCoreApplication::processEvents();
  }
  // Puts the strip's cursor at ms and adds a point there with Insert.
  void InsertAt(int64_t ms) {
    Strip->SetCursorMs(ms);
    Key(Strip, Qt::Key_Insert);
  }
};

}  // namespace

class TestEditing : public QObject {
  Q_OBJECT

 private slots:
  void undoAndRedoTakeBackEachKindOfChange() {
    TEditWindow window;
    window.Start();
    QAction* undo = window.Started.Action("ACUndo");
    QAction* redo = window.Started.Action("ACRedo");
    QVERIFY(!undo->isEnabled());

    window.InsertAt(2000);                                     // added at the cursor
    TypeIntoCell(window.Grid, 2, 1, "renamed");                // typed
    window.Key(window.Strip, Qt::Key_Right, Qt::AltModifier);  // nudged
    QCOMPARE(window.StartMs(2), int64_t(2010));
    window.Page->TagPanel()->setVisible(true);
    auto* album = window.Page->TagPanel()->findChild<QLineEdit*>("edTagAlbum");
    QTest::keyClicks(album, "Disque");
    emit album->editingFinished();                                // tags
    FillProposedCutList(window.List(), {441000, 882000}, 44100);  // a pause fill
    emit window.Page->Sound()->ListReplaced();
    QCOMPARE(window.List().Count(), 3);

    undo->trigger();
    QCOMPARE(window.List().Album.Album, std::string("Disque"));
    QCOMPARE(window.Names(), QString(",renamed"));
    undo->trigger();
    QCOMPARE(window.List().Album.Album, std::string());
    undo->trigger();
    QCOMPARE(window.StartMs(2), int64_t(2000));
    undo->trigger();
    QCOMPARE(window.Grid->CellText(2, 1), QString::fromStdString(ProposedName(2)));
    undo->trigger();
    QCOMPARE(window.List().Count(), 1);
    QVERIFY(!undo->isEnabled());

    for (int step = 0; step < 5; ++step)
      redo->trigger();
    QCOMPARE(window.List().Count(), 3);
    QVERIFY(!redo->isEnabled());

    // The keys reach the actions from anywhere in the window.
    QTest::keyClick(window.Grid, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window.List().Album.Album, std::string("Disque"));
    QTest::keyClick(window.Grid, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(window.List().Count(), 3);
  }

  void theDoubleClickLoadAndItsEmptyingCanBeUndone() {
    TEditWindow window;
    std::filesystem::create_directories(window.Started.Dir.File("album"));
    WriteMpegFile(window.Started.Dir.File("album/song.mp3"), 400);
    const std::string cue =
        "TRACK 01 AUDIO\nTITLE \"Un\"\nINDEX 01 00:00:00\n"
        "TRACK 02 AUDIO\nTITLE \"Deux\"\nINDEX 01 00:05:00\n";
    WriteFile(window.Started.Dir.File("album/song.cue"), Bytes(cue.begin(), cue.end()));
    window.Start();
    TypeIntoCell(window.Grid, 1, 1, "typed by hand");
    window.Started.Window->OpenFile(
        QString::fromStdString(window.Started.Dir.File("album/song.mp3")));
    QCOMPARE(window.Grid->CellText(2, 1), QString("02 Deux"));
    window.Started.Action("ACUndo")->trigger();
    QCOMPARE(window.Names(), QString("typed by hand"));
    window.Started.Action("ACRedo")->trigger();
    QCOMPARE(window.Grid->CellText(2, 1), QString("02 Deux"));

    // Saved as a CUE sheet, the list reads back the same.
    window.List().Album.Genre = "Jazz";
    const std::string saved = window.Started.Dir.File("saved.cue");
    QVERIFY(window.Started.Window->SaveListTo(saved));
    TCPList back;
    QVERIFY(ImportCueSheet(back, saved, window.Started.Dir.File("album/song.mp3")));
    QCOMPARE(back.Count(), window.List().Count());
    for (int index = 0; index < back.Count(); ++index) {
      QCOMPARE(back[index].Name, window.List()[index].Name);
      QCOMPARE(back[index].Title, window.List()[index].Title);
      QCOMPARE(PositionAt(back[index], 1000), PositionAt(window.List()[index], 1000));
    }
    QCOMPARE(back.Album.Genre, std::string("Jazz"));
  }

  void aCutAddsNoStepAndANamelessListIsRefused() {
    TEditWindow window;
    WriteMpegFile(window.Started.Dir.File("song.mp3"), 200);
    window.Start();
    window.Started.SelectFile("song.mp3");
    TCutPoint& unnamed = window.List().Add();
    SetMilliseconds(unnamed, 2, 0);
    window.Grid->RefreshGrid();
    TModalScript script;
    window.Started.Action("ACut")->trigger();
    QCOMPARE(script.Messages,
             QStringList("Aucun fragment à écrire : donnez un nom à au moins un point de coupe."));

    TypeIntoCell(window.Grid, 1, 1, "whole");
    const size_t steps = window.Page->History().UndoCount();
    window.Started.Action("ACut")->trigger();
    QTRY_VERIFY(window.Started.Window->State().Idle);
    bool written = false;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(window.Started.Dir.Path()))
      written |= entry.path().filename() == "whole.mp3";
    QVERIFY2(written, qPrintable(script.Messages.join("|") + script.Unexpected.join("|")));
    QCOMPARE(window.Page->History().UndoCount(), steps);
  }

  void stripKeysMoveTheCursorAndTheSelectedPoint() {
    TEditWindow window;
    window.Start();
    TWaveStrip* strip = window.Strip;
    strip->setFocus();
    window.Key(strip, Qt::Key_Right);
    QCOMPARE(strip->CursorMs(), int64_t(10));  // no frames: 10 ms
    strip->SetStepMs(1152000.0 / 44100);       // one MPEG frame
    window.Key(strip, Qt::Key_Right);
    QCOMPARE(strip->CursorMs(), int64_t(27));  // inside the second frame
    window.Key(strip, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(strip->CursorMs(), int64_t(1027));
    window.Key(strip, Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(strip->CursorMs(), int64_t(10000));  // held at the end
    window.Key(strip, Qt::Key_Home);
    QCOMPARE(strip->CursorMs(), int64_t(0));
    window.Key(strip, Qt::Key_End);
    QCOMPARE(strip->CursorMs(), int64_t(10000));

    strip->SetStepMs(TWaveStrip::kDefaultStepMs);
    window.InsertAt(3000);
    window.InsertAt(7000);
    QCOMPARE(window.Names(), QString::fromStdString(",") +
                                 QString::fromStdString(ProposedName(2) + "," + ProposedName(3)));
    window.Key(strip, Qt::Key_PageUp);
    QCOMPARE(strip->CursorMs(), int64_t(3000));
    QCOMPARE(window.Grid->SelectedRow(), 2);
    window.Key(strip, Qt::Key_PageDown);
    QCOMPARE(window.Grid->SelectedRow(), 3);
    window.Key(strip, Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(window.StartMs(3), int64_t(6990));
    QCOMPARE(window.Grid->CellText(3, 0), QString::fromStdString(FormatPosition(1000, 6990)));
    window.Key(strip, Qt::Key_Delete);
    QCOMPARE(window.List().Count(), 2);
    // The zero point neither moves nor goes.
    window.Grid->SelectRow(1);
    window.Key(strip, Qt::Key_Right, Qt::AltModifier);
    window.Key(strip, Qt::Key_Delete);
    QCOMPARE(window.List().Count(), 2);
    QCOMPARE(window.StartMs(1), int64_t(0));
  }

  void nudgingInCdFramesMovesOneFrame() {
    TEditWindow window;
    window.Start("TIME_TYPE=1\n");
    window.InsertAt(3000);
    window.Key(window.Strip, Qt::Key_Right, Qt::AltModifier);
    QCOMPARE(window.List()[1].Seconds, 3);
    QCOMPARE(window.List()[1].Frames, 1);
    window.Key(window.Strip, Qt::Key_Left, Qt::AltModifier);
    window.Key(window.Strip, Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(window.List()[1].Seconds, 2);
    QCOMPARE(window.List()[1].Frames, 74);
  }

  void readoutsShowTheTimesInTheGridsFormat() {
    TEditWindow window;
    window.Start();
    TSoundPanel* sound = window.Page->Sound();
    window.InsertAt(2500);
    window.Key(window.Strip, Qt::Key_Right, Qt::ShiftModifier);
    QVERIFY(sound->CursorReadout()->text().endsWith(
        QString::fromStdString(FormatPosition(1000, 3500))));
    QVERIFY(
        sound->PointReadout()->text().endsWith(QString::fromStdString(FormatPosition(1000, 2500))));
    QVERIFY(sound->LengthReadout()->text().endsWith(
        QString::fromStdString(FormatPosition(1000, 10000))));
    QTest::mouseMove(window.Strip, QPoint(window.Strip->XOfMs(5000), window.Strip->height() / 2));
    QVERIFY(sound->MouseReadout()->text().contains(QString::fromStdString(
        FormatPosition(1000, window.Strip->MsOfX(window.Strip->XOfMs(5000))))));

    QVERIFY(sound->GoToTime(QString::fromStdString(FormatPosition(1000, 7250))));
    QCOMPARE(window.Strip->CursorMs(), int64_t(7250));
    QVERIFY(!sound->GoToTime("99999999999"));
    QCOMPARE(window.Strip->CursorMs(), int64_t(7250));
  }

  void snapMovesThePointIntoTheQuietNearby() {
    TEditWindow window;
    window.Start();
    window.InsertAt(3900);  // just before the pause
    window.Key(window.Strip, Qt::Key_S);
    const int64_t snapped = window.StartMs(2);
    QVERIFY2(snapped >= 4000 && snapped <= 4150, qPrintable(QString::number(snapped)));
    // Deep in the loud part there is nothing quieter: it stays.
    window.InsertAt(8000);
    window.Key(window.Strip, Qt::Key_S);
    QCOMPARE(window.StartMs(3), int64_t(8000));
  }

  void withTheSettingOnPointsPlacedOnTheStripGoToTheQuiet() {
    TEditWindow window;
    window.Start("TIME_TYPE=0\nSNAPQUIET=1\n");
    window.InsertAt(3900);
    const int64_t inserted = window.StartMs(2);
    QVERIFY2(inserted >= 4000 && inserted <= 4150, qPrintable(QString::number(inserted)));
    window.InsertAt(8000);  // nothing quieter nearby: it stays
    QCOMPARE(window.StartMs(3), int64_t(8000));

    // A marker let go just after the pause goes back into it, and the drop with its snap is
    // one step.
    const size_t steps = window.Page->History().UndoCount();
    TWaveStrip* strip = window.Strip;
    const auto at = [strip](int64_t ms) { return QPoint(strip->XOfMs(ms), 20); };
    QTest::mousePress(window.Strip, Qt::LeftButton, {}, at(8000));
    QTest::mouseMove(window.Strip, at(6100));
    QTest::mouseRelease(window.Strip, Qt::LeftButton, {}, at(6100));
    QCoreApplication::processEvents();
    const int64_t dropped = window.StartMs(3);
    QVERIFY2(dropped >= 5850 && dropped < 6000, qPrintable(QString::number(dropped)));
    QCOMPARE(window.Page->History().UndoCount(), steps + 1);
    window.Started.Action("ACUndo")->trigger();
    QCOMPARE(window.StartMs(3), int64_t(8000));

    // Nudging is the user's own fine placement: it is never undone by a snap.
    window.Grid->SelectRow(3);
    window.Key(window.Strip, Qt::Key_Right, Qt::AltModifier);
    QCOMPARE(window.StartMs(3), int64_t(8010));

    // Off, a point stays where it was put.
    Settings().SNAPQUIET = 0;
    window.InsertAt(3800);
    QCOMPARE(window.StartMs(2), int64_t(3800));
  }

  void everyToolbarActionHasAKeyInItsTooltip() {
    TEditWindow window;
    window.Start();
    for (QToolBar* toolbar : window.Started.Window->findChildren<QToolBar*>()) {
      if (!window.Page->isAncestorOf(toolbar) &&
          toolbar->parentWidget()->objectName() != "ToolBarMain")
        continue;
      for (QAction* action : toolbar->actions()) {
        if (action->isSeparator())
          continue;
        QVERIFY2(!action->shortcut().isEmpty(), qPrintable(action->text()));
        QVERIFY2(action->toolTip().contains(action->shortcut().toString(QKeySequence::NativeText)),
                 qPrintable(action->toolTip()));
      }
    }
    QCOMPARE(window.Started.Action("AExit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
  }

  void tabWalksTreeFilesStripGridAndTags() {
    TEditWindow window;
    window.Start();
    TfrmMain& main = *window.Started.Window;
    window.Page->ACTags()->setChecked(true);
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    main.Browser()->DirectoryListBox1()->setFocus();
    const QList<QWidget*> expected = {main.Browser()->FileListBox1(), window.Strip, window.Grid,
                                      window.Page->TagPanel()->findChild<QLineEdit*>("edTagAlbum")};
    for (QWidget* next : expected) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), next);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.Grid));
  }
};

static TRegisterUiTest<TestEditing> registerEditing;

}  // namespace zembrio::test

#include "editing_test.moc"
