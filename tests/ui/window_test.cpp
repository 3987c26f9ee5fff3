// The main window's start, closing, state restore, progress display and busy state.
#include <QLineEdit>
#include <QProgressBar>
#include <QSplitter>
#include <QTest>
#include <QToolBar>
#include <filesystem>

#include "core/fileio.h"
#include "core/settings.h"
#include "ui/cutpage.h"
#include "ui/statuspanel.h"
#include "uitesthelpers.h"
#include "uitestregistry.h"

namespace zembrio::test {

class TestMainWindow : public QObject {
  Q_OBJECT

 private slots:
  void firstStartShowsReadyWindowAndSavesOnlyState() {
    TStartedWindow started;
    const std::string folder = QDir::currentPath().toStdString() + "/";
    started.StartWithoutWritingIni();
    TfrmMain& window = *started.Window;
    QCOMPARE(window.windowTitle(), QString("Zembrio " ZEMBRIO_VERSION));
    QCOMPARE(window.StatusPanel()->StateText(), QString(" Prêt"));
    QCOMPARE(window.StatusPanel()->InfoText(), QString(" "));
    QCOMPARE(window.Browser()->height(), 132);
    QCOMPARE(window.Browser()->CurrentFolder().toStdString(), folder);
    QVERIFY(window.CutPage()->EditCutDir()->text().isEmpty());
    QCOMPARE(window.Grid()->rowCount(), 1);
    QCOMPARE(window.Grid()->CellText(1, 0), QString("00m 00s 00f"));
    QCOMPARE(window.Grid()->CellText(1, 2), QString("(---> fin)"));
    QCOMPARE(window.Grid()->RowColor(1), QColor(208, 208, 208));
    QCOMPARE(window.Grid()->CellText(0, 0), QString(" Début"));

    window.close();
    const std::string ini = ReadWholeFile(started.Ini);
    QVERIFY(ini.find("[STATE]") != std::string::npos);
    QVERIFY(ini.find("[SETTINGS]") == std::string::npos);
    QVERIFY(ini.find("LASTDIR=" + folder) != std::string::npos);
    QVERIFY(ini.find("WNDSPLITTER=132") != std::string::npos);
  }

  void restoresDeepestExistingFolderGeometryAndSplitter() {
    TStartedWindow started;
    std::filesystem::create_directories(started.Dir.File("Music"));
    started.Start("LASTDIR=" + started.Dir.File("Music/Old/Gone") +
                  "\nWNDLEFT=20\nWNDTOP=30\nWNDWIDTH=500\nWNDHEIGTH=400\nWNDSPLITTER=100\n");
    TfrmMain& window = *started.Window;
    QCOMPARE(window.Browser()->CurrentFolder().toStdString(), started.Dir.File("Music/"));
    QCOMPARE(Settings().LASTDIR, started.Dir.File("Music/Old/Gone/"));
    QCOMPARE(window.frameGeometry().topLeft(), QPoint(20, 30));
    QCOMPARE(window.frameGeometry().size(), QSize(500, 400));
    QCOMPARE(window.Browser()->height(), 100);

    const QList<int> sizes = window.Splitter()->sizes();
    window.Splitter()->setSizes({110, sizes[0] + sizes[1] - 110});
    window.move(40, 50);
    window.close();
    const std::string ini = ReadWholeFile(started.Ini);
    QVERIFY(ini.find("LASTDIR=" + started.Dir.File("Music/")) != std::string::npos);
    QVERIFY(ini.find("WNDLEFT=40") != std::string::npos);
    QVERIFY(ini.find("WNDTOP=50") != std::string::npos);
    QVERIFY2(ini.find("WNDSPLITTER=110") != std::string::npos, ini.c_str());
  }

  // The strip comes back as saved, at the design size too, and stays so over restarts.
  void splitterComesBackAsSavedAtEveryStart() {
    TStartedWindow started;
    started.Start("WNDSPLITTER=200\n");
    for (int start = 0; start < 2; ++start) {
      QCOMPARE(started.Window->Browser()->height(), 200);
      started.Window->close();
      const std::string ini = ReadWholeFile(started.Ini);
      QVERIFY2(ini.find("WNDSPLITTER=200") != std::string::npos, ini.c_str());
      started.Window.reset();
      started.StartWithoutWritingIni();
    }
  }

  // Rows are 1.3 times the font's character height in pixels, plus 3.
  void gridRowsAreMeasuredFromTheFontsPixelSize() {
    TStartedWindow started;
    started.Window = CreateApplicationWindows();
    started.Window->SetIniPath(started.Ini);
    QFont font = started.Window->font();
    font.setPixelSize(11);
    started.Window->setFont(font);
    started.Window->show();
    QCOMPARE(started.Window->Grid()->rowHeight(0), 17);
    started.Window->close();

    started.Window = CreateApplicationWindows();
    started.Window->SetIniPath(started.Ini);
    font.setPointSize(9);
    started.Window->setFont(font);
    started.Window->show();
    const int pixels = qRound(9 * started.Window->logicalDpiY() / 72.0);
    QCOMPARE(started.Window->Grid()->rowHeight(0), qRound(pixels * 1.3) + 3);
  }

  // A first-time user finds every action of the cut page without the overflow menu.
  void everyCutPageActionIsVisibleAtTheDesignSize() {
    TStartedWindow started;
    started.Start();
    QCOMPARE(started.Window->size(), QSize(760, 600));
    auto* toolbar = started.Window->findChild<QToolBar*>("ToolBarCut");
    QVERIFY(toolbar != nullptr);
    for (QAction* action : toolbar->actions()) {
      if (action->isSeparator())
        continue;
      QVERIFY2(toolbar->widgetForAction(action)->isVisible(), qPrintable(action->text()));
    }
  }

  void ignoresGeometryOffTheDesktopAndOversizedSplitter() {
    TStartedWindow started;
    started.Start("WNDLEFT=3000\nWNDTOP=30\nWNDWIDTH=500\nWNDHEIGTH=400\nWNDSPLITTER=5000\n");
    TfrmMain& window = *started.Window;
    QVERIFY(window.frameGeometry().left() != 3000);
    QCOMPARE(window.size(), QSize(760, 600));
    QCOMPARE(window.Browser()->height(), 132);
  }

  void progressShowsPerMilleAndPercentInTitle() {
    TStartedWindow started;
    started.Start();
    TfrmMain& window = *started.Window;
    QProgressBar* bar = window.StatusPanel()->ProgressBar();
    window.SetProgress(0.125);
    QCOMPARE(bar->value(), 125);
    QCOMPARE(window.windowTitle(), QString("12% Zembrio"));
    window.SetProgress(0.375);
    QCOMPARE(bar->value(), 375);
    QCOMPARE(window.windowTitle(), QString("38% Zembrio"));
    window.ShowStateText("En cours..");
    window.ShowInfoText("Position source: 1");
    QCOMPARE(window.StatusPanel()->StateText(), QString(" En cours.."));
    window.ShowReady();
    QCOMPARE(bar->value(), 0);
    QCOMPARE(window.windowTitle(), QString("Zembrio " ZEMBRIO_VERSION));
    QCOMPARE(window.StatusPanel()->InfoText(), QString(" "));
  }

  void busyStateLeavesOnlyAbortAndTheDriveBox() {
    TStartedWindow started;
    started.Start();
    TfrmMain& window = *started.Window;
    const char* idleActions[] = {"ACut",  "AStatistics", "ASettings", "AAbout",     "AExit",
                                 "ACAdd", "ACClearList", "ACLoadCue", "ACSetCutDir"};
    QVERIFY(!started.Action("AAbort")->isEnabled());
    window.SetIdle(false);
    QVERIFY(!window.State().Idle);
    QVERIFY(started.Action("AAbort")->isEnabled());
    for (const char* name : idleActions)
      QVERIFY2(!started.Action(name)->isEnabled(), name);
    QVERIFY(!started.Action("ACDelete")->isEnabled());
    QVERIFY(!window.Grid()->isEnabled());
    QVERIFY(!window.PageControl1()->isEnabled());
    QVERIFY(!window.Browser()->FileListBox1()->isEnabled());
    QVERIFY(window.Browser()->DriveComboBox1()->isEnabled());
    window.SetIdle(true);
    QVERIFY(!started.Action("AAbort")->isEnabled());
    for (const char* name : idleActions)
      QVERIFY2(started.Action(name)->isEnabled(), name);
  }

  void selectingASourceSetsTheDestinationOnTheCutPageOnly() {
    TStartedWindow started;
    WriteMpegFile(started.Dir.File("song.mp3"), 10);
    WriteMpegFile(started.Dir.File("other.MP3"), 10);
    WriteFile(started.Dir.File("notes.txt"), Bytes{'x'});
    std::filesystem::create_directories(started.Dir.File("sub"));
    started.Start("", "CUTDIR=../out\n");
    TfrmMain& window = *started.Window;
    QCOMPARE(window.Browser()->FileNames(), QStringList({"other.MP3", "song.mp3"}));

    window.SetRowStatus(1, "fait");
    started.SelectFile("song.mp3");
    const std::string parent =
        std::filesystem::path(started.Dir.Path()).parent_path().parent_path().string();
    QCOMPARE(window.CutPage()->EditCutDir()->text().toStdString(), parent + "/out/");
    QCOMPARE(window.Grid()->CellText(1, 3), QString());

    Settings().CUTDIR = "/srv/frag";
    window.PageControl1()->setCurrentIndex(1);
    QVERIFY(!started.Action("ACut")->isVisible());
    QVERIFY(started.Action("AJoin")->isVisible());
    started.SelectFile("other.MP3");
    QCOMPARE(window.CutPage()->EditCutDir()->text().toStdString(), parent + "/out/");
    window.PageControl1()->setCurrentIndex(0);
    started.SelectFile("song.mp3");
    QCOMPARE(window.CutPage()->EditCutDir()->text(), QString("/srv/frag/"));
  }
};

static TRegisterUiTest<TestMainWindow> registerMainWindow;

}  // namespace zembrio::test

#include "window_test.moc"
