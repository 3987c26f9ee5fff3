// Uses the desktop window as a user would and saves pictures of it for the README:
//   zembrio_ui_screenshots SETTINGS_FILE SOURCE_FOLDER OUTPUT_FOLDER
// The window starts from SETTINGS_FILE (its state and settings), selects "Concert
// complet.mp3" in SOURCE_FOLDER, gets four named cut points and cuts them (the report in
// "Info..." gives screenshot-info.png, the grid afterwards screenshot-main.png), then joins
// the fragments on the join page (screenshot-join.png). Run it under an X server with a
// window manager (scripts/screenshot.sh), so that the pictures carry the window frames.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <cstdio>

#include "ui/cutpage.h"
#include "ui/envelopeloader.h"
#include "ui/pages/joinpage.h"
#include "ui/soundpanel.h"
#include "ui/statisticswindow.h"
#include "ui/wavestrip.h"
#include "uitesthelpers.h"

using namespace zembrio;
using namespace zembrio::test;

namespace {

constexpr int kSettleMs = 600;

// The window with its frame. Qt does not always learn the frame's size from the window
// manager; the manager's own record of it (_NET_FRAME_EXTENTS: left, right, top, bottom)
// is asked for then.
QRect FrameRect(QWidget* window) {
  if (window->frameGeometry() != window->geometry())
    return window->frameGeometry();
  QProcess xprop;
  xprop.start("xprop", {"-id", QString::number(window->winId()), "_NET_FRAME_EXTENTS"});
  if (!xprop.waitForFinished(3000))
    return window->geometry();
  const QStringList sides = QString::fromLatin1(xprop.readAllStandardOutput())
                                .section('=', 1)
                                .split(',', Qt::SkipEmptyParts);
  if (sides.size() != 4)
    return window->geometry();
  return window->geometry().adjusted(-sides[0].trimmed().toInt(), -sides[2].trimmed().toInt(),
                                     sides[1].trimmed().toInt(), sides[3].trimmed().toInt());
}

// The screen inside rect, window frames included.
bool SaveScreen(const QRect& rect, const QString& path) {
  QTest::qWait(kSettleMs);
  const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, rect.x(), rect.y(),
                                                                    rect.width(), rect.height());
  const bool saved = shot.save(path);
  std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
  return saved;
}

struct TCutPointText {
  const char* Start;
  const char* Name;
};

// Four movements of a concert recording, typed into the grid as a user types them.
void TypeCutPoints(TfrmMain& window) {
  static const TCutPointText points[] = {{"", "01 Ouverture"},
                                         {"1:12:00", "02 Allegro"},
                                         {"2:31:40", "03 Adagio"},
                                         {"3:28:12", "04 Finale"}};
  TCutGrid* grid = window.Grid();
  int row = 1;
  for (const TCutPointText& point : points) {
    if (row > 1)
      window.CutPage()->findChild<QAction*>("ACAdd")->trigger();
    TypeIntoCell(grid, row, 1, point.Name);
    if (*point.Start)
      TypeIntoCell(grid, row, 0, point.Start);
    ++row;
  }
  grid->setCurrentCell(0, 1);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s SETTINGS_FILE SOURCE_FOLDER OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  const QString sources = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
  const QString output = QDir(QString::fromLocal8Bit(argv[3])).absolutePath();

  std::unique_ptr<TfrmMain> window = CreateApplicationWindows();
  window->SetIniPath(argv[1]);
  window->SetShiftTest([] { return false; });
  window->show();
  if (!QTest::qWaitForWindowExposed(window.get()))
    return 1;
  QTest::qWait(kSettleMs);

  window->Browser()->SetFolder(sources);
  window->Browser()->SelectFile("Concert complet.mp3");
  TypeCutPoints(*window);
  // The strip shows the whole recording, the third movement's marker selected and the
  // cursor in its pause.
  TSoundPanel* sound = window->CutPage()->Sound();
  for (int wait = 0; wait < 300 && sound->Loader()->Running(); ++wait)
    QTest::qWait(100);
  window->Grid()->setCurrentCell(2, 1);
  sound->Strip()->SetCursorMs(150800);

  bool saved = true;
  TModalScript script;
  script.Then(On<TfrmStatistics>([&](TfrmStatistics* report) {
    saved &= SaveScreen(FrameRect(window.get()).united(FrameRect(report)),
                        output + "/screenshot-info.png");
    report->accept();
  }));
  window->findChild<QAction*>("ACut")->trigger();
  saved &= SaveScreen(FrameRect(window.get()), output + "/screenshot-main.png");

  // The tags of the cut under the grid, the album named as a user types it.
  window->CutPage()->findChild<QAction*>("ACTags")->setChecked(true);
  QTest::keyClicks(window->CutPage()->findChild<QLineEdit*>("edTagAlbum"), "Concert du 14 juin");
  QTest::qWait(kSettleMs);
  saved &= SaveScreen(FrameRect(window.get()), output + "/screenshot-tags.png");
  window->CutPage()->findChild<QAction*>("ACTags")->setChecked(false);

  // The fragments joined again, in their numbered order.
  window->PageControl1()->setCurrentIndex(1);
  window->Browser()->SetFolder(window->CutPage()->EditCutDir()->text());
  window->JoinPage()->findChild<QAction*>("AJAddAll")->trigger();
  window->findChild<QAction*>("AJoin")->trigger();
  saved &= SaveScreen(FrameRect(window.get()), output + "/screenshot-join.png");

  if (!script.Unexpected.isEmpty() || !script.Messages.isEmpty())
    std::printf("answered: %s %s\n", qPrintable(script.Unexpected.join(", ")),
                qPrintable(script.Messages.join(", ")));
  window->close();
  return saved ? 0 : 1;
}
