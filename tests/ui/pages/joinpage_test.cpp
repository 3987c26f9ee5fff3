// The join page driven for real: files added through its actions and drops, the
// extension rule, the drag orders, and joins started with JoinNow.
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include "core/settings.h"
#include "framebuilder.h"
#include "recordingfeedback.h"
#include "ui/pages/joinpage.h"

using namespace zembrio;
using test::Bytes;

namespace {

// The main window's file browser as the page sees it.
class FakeBrowser : public IJoinFileSource {
 public:
  QString CurrentFolder() const override { return Folder; }
  QStringList FileNames() const override { return Names; }
  QList<int> SelectedIndexes() const override { return Selected; }
  int FocusedIndex() const override { return Focused; }
  const QWidget* DragSource() const override { return &Widget; }

  QString Folder = "/musique/album";
  QStringList Names;
  QList<int> Selected;
  int Focused = -1;
  QWidget Widget;
};

QStringList RowNames(const TJoinPage& page) {
  QStringList names;
  for (const TJoinItem& item : page.Items())
    names << QString::fromStdString(item.Name);
  return names;
}

QAction* Action(const TJoinPage& page, const char* name) {
  for (QAction* action : page.Actions())
    if (action->objectName() == name)
      return action;
  return nullptr;
}

}  // namespace

class JoinPageTest : public QObject {
  Q_OBJECT

 private:
  // A page with the browser showing 1.mp3 .. 5.mp3, all five added.
  void FillFive(FakeBrowser& browser, TJoinPage& page) {
    browser.Names = {"1.mp3", "2.mp3", "3.mp3", "4.mp3", "5.mp3"};
    Action(page, "AJAddAll")->trigger();
    page.resize(600, 400);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
  }

  void SelectRows(TJoinPage& page, const QList<int>& rows) {
    auto* view = static_cast<QTreeView*>(page.ListView());
    view->clearSelection();
    for (int row : rows)
      view->selectionModel()->select(view->model()->index(row, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }

  QPoint RowPoint(TJoinPage& page, int row) {
    auto* view = static_cast<QTreeView*>(page.ListView());
    return view->visualRect(view->model()->index(row, 0)).center();
  }

  QObject* ListDragSource(TJoinPage& page) { return page.ListView(); }

 private slots:
  // The joined bytes are compared with the inputs' frames: no header frame.
  void init() {
    Settings().JOINNAME = "join_output";
    Settings().XINGHEADER = false;
  }
  void cleanup() { Settings().XINGHEADER = true; }

  void firstFileNamesTheOutputAndDecidesTheExtension() {
    FakeBrowser browser;
    browser.Names = {"a.mp3", "b.MP3", "c.mp2", "d.mp3"};
    browser.Selected = {0, 1, 2};
    TJoinPage page(browser);
    Action(page, "AJAdd")->trigger();
    QCOMPARE(RowNames(page), QStringList({"a.mp3", "b.MP3"}));
    QCOMPARE(page.JoinFileName(), QString("/musique/album/join_output.mp3"));
    QCOMPARE(page.Items()[0].Folder, std::string("/musique/album/"));
    QCOMPARE(page.Items()[0].Status, std::string("-"));

    browser.Focused = 3;  // a double click in the browser
    page.AddFocusedFile();
    QCOMPARE(RowNames(page), QStringList({"a.mp3", "b.MP3", "d.mp3"}));
  }

  void joinNameIsRelativeToTheBrowserFolderUnlessAbsolute() {
    FakeBrowser browser;
    browser.Names = {"x.ogg"};
    TJoinPage page(browser);
    Settings().JOINNAME = "../join/sortie";
    page.AddJoinFile(0, -1);
    QCOMPARE(page.JoinFileName(), QString("/musique/join/sortie.ogg"));

    Action(page, "AJDeleteAll")->trigger();
    Settings().JOINNAME = "/tmp/out/tout.mp3";
    page.AddJoinFile(0, -1);
    QCOMPARE(page.JoinFileName(), QString("/tmp/out/tout.ogg"));
  }

  void typedNameSurvivesUntilTheListIsEmptiedAndFilledAgain() {
    FakeBrowser browser;
    browser.Names = {"a.mp3", "b.mp3"};
    TJoinPage page(browser);
    Action(page, "AJAddAll")->trigger();
    page.SetJoinFileName("/ailleurs/mon.mp3");
    page.AddJoinFile(1, -1);
    SelectRows(page, {0});
    Action(page, "AJDelete")->trigger();
    QCOMPARE(RowNames(page), QStringList({"b.mp3", "b.mp3"}));
    QCOMPARE(page.JoinFileName(), QString("/ailleurs/mon.mp3"));

    SelectRows(page, {0, 1});
    Action(page, "AJDelete")->trigger();
    QVERIFY(page.Items().empty());
    QCOMPARE(page.JoinFileName(), QString("/ailleurs/mon.mp3"));
    page.AddJoinFile(0, -1);
    QCOMPARE(page.JoinFileName(), QString("/musique/album/join_output.mp3"));
  }

  void draggingRowsMovesThemBeforeTheTarget() {
    FakeBrowser browser;
    TJoinPage page(browser);
    FillFive(browser, page);
    SelectRows(page, {1, 3});
    page.DropOn(ListDragSource(page), RowPoint(page, 0));
    QCOMPARE(RowNames(page), QStringList({"2.mp3", "4.mp3", "1.mp3", "3.mp3", "5.mp3"}));
    for (const TJoinItem& item : page.Items())
      QVERIFY(!item.Selected);

    Action(page, "AJDeleteAll")->trigger();
    FillFive(browser, page);
    SelectRows(page, {1, 3});
    page.DropOn(ListDragSource(page), QPoint(10, page.ListView()->height() - 5));
    QCOMPARE(RowNames(page), QStringList({"1.mp3", "3.mp3", "5.mp3", "2.mp3", "4.mp3"}));
  }

  void droppingRowsOntoThemselvesKeepsEveryRowOnce() {
    FakeBrowser browser;
    TJoinPage page(browser);
    FillFive(browser, page);
    SelectRows(page, {1, 2, 4});
    page.DropOn(ListDragSource(page), RowPoint(page, 2));
    QStringList names = RowNames(page);
    QCOMPARE(names.size(), 5);
    names.sort();
    QCOMPARE(names, QStringList({"1.mp3", "2.mp3", "3.mp3", "4.mp3", "5.mp3"}));
  }

  void browserFilesDropInBrowserOrderBeforeTheTarget() {
    FakeBrowser browser;
    TJoinPage page(browser);
    FillFive(browser, page);
    browser.Names = {"x.mp3", "y.mp2", "z.mp3", "w.mp3"};
    browser.Selected = {0, 1, 2, 3};
    QWidget stranger;  // drops come only from the browser and the list itself
    QVERIFY(!page.AcceptsDragFrom(&stranger));
    page.DropOn(&stranger, RowPoint(page, 1));
    QCOMPARE(page.Items().size(), size_t(5));
    page.DropOn(&browser.Widget, RowPoint(page, 1));
    QCOMPARE(RowNames(page),
             QStringList({"1.mp3", "x.mp3", "z.mp3", "w.mp3", "2.mp3", "3.mp3", "4.mp3", "5.mp3"}));
  }

  void saveDialogReplacesTheNameOnlyWhenConfirmed() {
    FakeBrowser browser;
    TJoinPage page(browser);
    page.SetJoinFileName("/a.mp3");
    QString offered;
    page.SetSaveNameChooser([&](const QString& current) -> std::optional<QString> {
      offered = current;
      return std::nullopt;
    });
    Action(page, "AJSetJoinFilename")->trigger();
    QCOMPARE(offered, QString("/a.mp3"));
    QCOMPARE(page.JoinFileName(), QString("/a.mp3"));
    // The button beside the name shows its "..." (Qt drops it from a button's text by
    // default) and opens the same dialog.
    page.SetSaveNameChooser([](const QString&) { return QString("/b/c.mp3"); });
    QToolButton* browse = nullptr;
    for (QToolButton* button : page.findChildren<QToolButton*>())
      if (button->defaultAction() == Action(page, "AJSetJoinFilename"))
        browse = button;
    QVERIFY(browse != nullptr);
    QCOMPARE(browse->text(), QString("..."));
    browse->click();
    QCOMPARE(page.JoinFileName(), QString("/b/c.mp3"));
  }

  void theSaveDialogLeavesTheReplaceQuestionToTheJoin() {
    FakeBrowser browser;
    TJoinPage page(browser);
    bool seen = false;
    bool confirms = true;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      seen = dialog != nullptr;
      if (dialog != nullptr) {
        confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        dialog->reject();
      }
    });
    Action(page, "AJSetJoinFilename")->trigger();
    QVERIFY(seen);
    QVERIFY(!confirms);
  }

  void frameJoinDropsTagsAndMarksGarbage() {
    test::TempDir dir;
    test::FrameSpec spec;
    Bytes tagged = test::Frames(spec, 3);
    test::Append(tagged, test::Id3v1Tag());
    Bytes dirty = test::Frames(spec, 2);
    test::Append(dirty, test::Garbage(37));
    test::Append(dirty, test::Frames(spec, 2));
    test::WriteFile(dir.File("a.mp3"), tagged);
    test::WriteFile(dir.File("b.mp3"), dirty);

    FakeBrowser browser;
    browser.Folder = QString::fromStdString(dir.Path());
    browser.Names = {"a.mp3", "b.mp3"};
    TJoinPage page(browser);
    Action(page, "AJAddAll")->trigger();
    page.SetJoinFileName(QString::fromStdString(dir.File("out/joined.mp3")));
    test::RecordingContext run;
    QCOMPARE(page.JoinNow(run.Context, ""), TJoinOutcome::Finished);

    Bytes expected = test::Frames(spec, 3);
    test::Append(expected, test::Frames(spec, 2));
    test::Append(expected, test::Frames(spec, 2));
    QVERIFY(test::ReadFile(dir.File("out/joined.mp3")) == expected);
    QCOMPARE(page.Items()[0].Status, std::string("fait"));
    QCOMPARE(page.Items()[1].Status, std::string("erreur(s)"));
    QVERIFY(run.Feedback.Errors.empty());
  }

  void rawJoinCopiesEveryByteAndAbortStopsInTheCurrentFile() {
    test::TempDir dir;
    // Ogg files are copied byte for byte whatever is highlighted: each starts like a Vorbis
    // stream, which is all the join looks at.
    Bytes block(300000, 0x41);
    const std::string vorbisStart("OggS\0\x02", 6);
    std::copy(vorbisStart.begin(), vorbisStart.end(), block.begin());
    block[26] = 1;
    block[27] = 7;
    const std::string packet("\x01vorbis", 7);
    std::copy(packet.begin(), packet.end(), block.begin() + 28);
    for (const char* name : {"a.ogg", "b.ogg", "c.ogg"})
      test::WriteFile(dir.File(name), block);
    FakeBrowser browser;
    browser.Folder = QString::fromStdString(dir.Path());
    browser.Names = {"a.ogg", "b.ogg", "c.ogg"};
    TJoinPage page(browser);
    Action(page, "AJAddAll")->trigger();
    page.SetJoinFileName(QString::fromStdString(dir.File("all.ogg")));

    test::RecordingContext run;
    QCOMPARE(page.JoinNow(run.Context, ""), TJoinOutcome::Finished);
    QCOMPARE(test::ReadFile(dir.File("all.ogg")).size(), size_t(900000));

    // Every progress call pumps events; the abort arrives once row 2 is being read.
    run.Feedback.OnEvents = [&] {
      run.State.LastProgressUpdate = {};
      if (page.Items()[1].Status == "lecture...")
        run.State.AbortRequested = true;
    };
    run.State.LastProgressUpdate = {};
    run.Questions.YesNoAnswers = {true};
    QCOMPARE(page.JoinNow(run.Context, ""), TJoinOutcome::Aborted);
    QCOMPARE(page.Items()[0].Status, std::string("fait"));
    QCOMPARE(page.Items()[1].Status, std::string("**   abandon  **"));
    QVERIFY(page.Items()[1].Selected);
    QCOMPARE(page.Items()[2].Status, std::string("-"));
    auto* view = static_cast<QTreeView*>(page.ListView());
    QVERIFY(view->selectionModel()->isRowSelected(1, {}));
  }
};

QTEST_MAIN(JoinPageTest)
#include "joinpage_test.moc"
