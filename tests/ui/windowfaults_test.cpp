// The window keeps its place from one session to the next, the strip shows only the file a
// cut would read, and a new selection never waits for the envelope of the last one.
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "core/fileio.h"
#include "ui/cutpage.h"
#include "ui/envelopeloader.h"
#include "ui/soundpanel.h"
#include "ui/tagpanel.h"
#include "ui/wavestrip.h"
#include "ui/windowrules.h"
#include "uitesthelpers.h"
#include "uitestregistry.h"

namespace zembrio::test {

namespace {

std::string StateValue(const std::string& ini, const std::string& key) {
  const size_t at = ini.find("\n" + key + "=");
  if (at == std::string::npos)
    return {};
  const size_t from = at + key.size() + 2;
  return ini.substr(from, ini.find('\n', from) - from);
}

}  // namespace

class TestWindowFaults : public QObject {
  Q_OBJECT

 private slots:
  void geometryComesBackAsItWasSaved() {
    TStartedWindow started;
    started.Start("WNDLEFT=40\nWNDTOP=30\nWNDWIDTH=700\nWNDHEIGTH=500\n");
    QVERIFY(QTest::qWaitForWindowExposed(started.Window.get()));
    started.Window->close();
    const std::string ini = ReadWholeFile(started.Ini);
    QCOMPARE(StateValue(ini, "WNDLEFT"), std::string("40"));
    QCOMPARE(StateValue(ini, "WNDTOP"), std::string("30"));
    QCOMPARE(StateValue(ini, "WNDWIDTH"), std::string("700"));
    QCOMPARE(StateValue(ini, "WNDHEIGTH"), std::string("500"));
  }

  void aWindowLargerThanTheScreenIsFittedIntoIt() {
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    TStartedWindow started;
    started.Start("WNDLEFT=" + std::to_string(available.x() + 10) +
                  "\nWNDTOP=" + std::to_string(available.y() + 10) +
                  "\nWNDWIDTH=" + std::to_string(available.width() * 2) +
                  "\nWNDHEIGTH=" + std::to_string(available.height() * 2) + "\n");
    QVERIFY(QTest::qWaitForWindowExposed(started.Window.get()));
    QVERIFY(available.contains(started.Window->frameGeometry()));

    // The rule alone: a title bar above the screen comes down into it.
    const TRect fitted = FittedGeometry({0, 0, 1280, 800}, {100, -50, 700, 500});
    QCOMPARE(fitted.Top, 0);
    QCOMPARE(fitted.Left, 100);
    QCOMPARE(fitted.Height, 500);
  }

  void namesTakeTheExtraWidth() {
    TStartedWindow started;
    started.Start();
    QVERIFY(QTest::qWaitForWindowExposed(started.Window.get()));
    TCutGrid* grid = started.Window->Grid();
    const int name = grid->columnWidth(1);
    started.Window->resize(started.Window->width() + 200, started.Window->height());
    QCoreApplication::processEvents();
    QCOMPARE(grid->columnWidth(1), name + 200);
  }

  void theTagsLeaveRoomForTheStripAndTheGrid() {
    TStartedWindow started;
    started.Start();
    QVERIFY(QTest::qWaitForWindowExposed(started.Window.get()));
    TCutPage* page = started.Window->CutPage();
    page->ACTags()->setChecked(true);
    QCoreApplication::processEvents();
    TCutGrid* grid = started.Window->Grid();
    const int rows = grid->viewport()->height() / grid->verticalHeader()->defaultSectionSize();
    QVERIFY2(page->Strip()->height() >= 80, qPrintable(QString::number(page->Strip()->height())));
    QVERIFY2(rows >= 5, qPrintable(QString::number(rows)));
    // A header is as tall as its captions, not as a list.
    QVERIFY(grid->horizontalHeader()->height() < 2 * grid->verticalHeader()->defaultSectionSize());

    // The names take what the window gains in width, tags shown or not.
    const int name = grid->columnWidth(1);
    started.Window->resize(started.Window->width() + 150, started.Window->height());
    QCoreApplication::processEvents();
    QCOMPARE(grid->columnWidth(1), name + 150);
  }

  void theStripShowsOnlyTheSelectedFile() {
    TStartedWindow started;
    WriteMpegFile(started.Dir.File("song.mp3"), 100);
    std::filesystem::create_directories(started.Dir.File("other"));
    started.Start();
    started.SelectFile("song.mp3");
    TSoundPanel* sound = started.Window->CutPage()->Sound();
    QCOMPARE(sound->Source().toStdString(), started.Dir.File("song.mp3"));
    started.Window->Browser()->SetFolder(QString::fromStdString(started.Dir.File("other")));
    QVERIFY(sound->Source().isEmpty());
    QCOMPARE(sound->Strip()->LengthMs(), int64_t(0));
  }

  void aNewSelectionStopsTheEnvelopeOfTheLastOne() {
    TStartedWindow started;
    WriteMpegFile(started.Dir.File("long.mp3"), 40000);
    WriteMpegFile(started.Dir.File("short.mp3"), 100);
    started.Start();
    TEnvelopeLoader* loader = started.Window->CutPage()->Sound()->Loader();
    QSignalSpy finished(loader, &TEnvelopeLoader::Finished);
    started.SelectFile("long.mp3");
    started.SelectFile("short.mp3");
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.count(), 1);
    // Only the short file's envelope arrived: 100 frames of 26 ms.
    QVERIFY(started.Window->CutPage()->Strip()->LengthMs() < 3000);
  }
};

static TRegisterUiTest<TestWindowFaults> registerWindowFaults;

}  // namespace zembrio::test

#include "windowfaults_test.moc"
