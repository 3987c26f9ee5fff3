// The waveform strip of the cut page driven with the mouse and the keys, as a user would.
#include <QTest>

#include "cutlist/cutpoint.h"
#include "cutlist/gridmodel.h"
#include "ui/cutpage.h"
#include "ui/wavestrip.h"
#include "uitesthelpers.h"
#include "uitestregistry.h"

namespace zembrio::test {

namespace {

void AddPoint(TCPList& list, int32_t seconds, const std::string& name) {
  TCutPoint& point = list.Add();
  SetMilliseconds(point, seconds, 0);
  point.Name = name;
}

struct TStripWindow {
  TStartedWindow Started;
  TWaveStrip* Strip = nullptr;
  TCutGrid* Grid = nullptr;

  void Start() {
    Started.Start();
    Strip = Started.Window->CutPage()->Strip();
    Grid = Started.Window->Grid();
    Strip->SetLevels(LevelsWithPause());
    QVERIFY(QTest::qWaitForWindowExposed(Started.Window.get()));
  }
  void Fill() {
    TCPList& list = *Started.Window->CutList();
    list.Clear();
    AddPoint(list, 0, "intro");
    AddPoint(list, 2, "a");
    AddPoint(list, 5, "");
    AddPoint(list, 6, "b");
    Grid->RefreshGrid();
  }
  QPoint At(int64_t ms) const { return {Strip->XOfMs(ms), Strip->height() / 2}; }
  int64_t StartMs(int row) const {
    return PositionAt(*Started.Window->CutList()->Item(row - 1), 1000);
  }
};

// The wave's extent in pixels above the middle line in one column.
int WaveExtent(const QImage& image, int x, int top, int middle) {
  int extent = 0;
  for (int y = middle - 1; y > top; --y) {
    const QColor colour = image.pixelColor(x, y);
    if (colour.blue() > 120 && colour.red() < 80)
      extent = middle - y;
  }
  return extent;
}

}  // namespace

class TestWaveStrip : public QObject {
  Q_OBJECT

 private slots:
  void drawsTheLoudPartsAndNotThePause() {
    TStripWindow window;
    window.Start();
    const QImage image = window.Strip->grab().toImage();
    const int middle = window.Strip->height() / 2;
    const int loud = WaveExtent(image, window.Strip->XOfMs(2000), 20, middle);
    QVERIFY2(loud > middle / 3, qPrintable(QString::number(loud)));
    QCOMPARE(WaveExtent(image, window.Strip->XOfMs(5000), 20, middle), 0);
    QVERIFY(WaveExtent(image, window.Strip->XOfMs(8000), 20, middle) > middle / 3);
  }

  void aClickSetsTheCursorAndTheZeroMarkerStays() {
    TStripWindow window;
    window.Start();
    window.Fill();
    QTest::mouseClick(window.Strip, Qt::LeftButton, {}, window.At(3500));
    QVERIFY(std::abs(window.Strip->CursorMs() - 3500) <= window.Strip->MsPerPixel());
    // The zero point is no marker to drag: pressing on it moves the cursor there.
    QTest::mouseClick(window.Strip, Qt::LeftButton, {}, window.At(0));
    QCOMPARE(window.Strip->CursorMs(), int64_t(0));
    QCOMPARE(window.StartMs(1), int64_t(0));
  }

  void draggingAMarkerMovesItsTimeAndTheGridFollows() {
    TStripWindow window;
    window.Start();
    window.Fill();
    window.Grid->SelectRow(2);
    // Row 2 ("a", 2 s) is carried past rows 3 and 4 to 8 s.
    QTest::mousePress(window.Strip, Qt::LeftButton, {}, window.At(2000));
    QTest::mouseMove(window.Strip, window.At(5500));
    QCOMPARE(window.Grid->CellText(2, 1), QString());  // already re-sorted while dragging
    QTest::mouseRelease(window.Strip, Qt::LeftButton, {}, window.At(8000));
    QCOMPARE(window.Grid->CellText(2, 1), QString());
    QCOMPARE(window.Grid->CellText(3, 1), QString("b"));
    QCOMPARE(window.Grid->CellText(4, 1), QString("a"));
    QVERIFY(std::abs(window.StartMs(4) - 8000) <= window.Strip->MsPerPixel() + 14);
    QCOMPARE(window.Grid->SelectedRow(), 4);
    // The durations follow: "b" now runs from 6 s up to a's new start.
    QCOMPARE(window.Grid->CellText(3, 2),
             QString::fromStdString(FragmentDurationText(*window.Started.Window->CutList(), 2)));
    QVERIFY(window.Grid->CellText(3, 2).startsWith("00m 01s") ||
            window.Grid->CellText(3, 2).startsWith("00m 02s"));
    QCOMPARE(window.Grid->CellText(4, 2), QString("(---> fin)"));
  }

  void addingWithTheStripFocusedAddsAtTheCursor() {
    TStripWindow window;
    window.Start();
    window.Fill();
    QTest::mouseClick(window.Strip, Qt::LeftButton, {}, window.At(3000));
    QVERIFY(window.Strip->hasFocus());
    window.Started.Action("ACAdd")->trigger();
    QCOMPARE(window.Grid->rowCount(), 5);
    QCOMPARE(window.Grid->SelectedRow(), 3);
    QVERIFY(std::abs(window.StartMs(3) - 3000) <= window.Strip->MsPerPixel() + 14);
    QVERIFY(!window.Started.Window->CutList()->Item(2)->IsNew);
  }

  void zoomsWithTheKeysAndTheWheel() {
    TStripWindow window;
    window.Start();
    const double fitted = window.Strip->MsPerPixel();
    window.Strip->setFocus();
    QTest::keyClick(window.Strip, Qt::Key_Plus);
    QTest::keyClick(window.Strip, Qt::Key_Plus);
    QVERIFY(window.Strip->MsPerPixel() < fitted);
    QTest::keyClick(window.Strip, Qt::Key_Minus);
    QTest::keyClick(window.Strip, Qt::Key_Minus);
    QTest::keyClick(window.Strip, Qt::Key_Minus);
    QCOMPARE(window.Strip->MsPerPixel(), fitted);  // no further out than the whole source
    QCOMPARE(window.Strip->FirstVisibleMs(), int64_t(0));

    // The wheel zooms around the pointer: the time under it stays under it.
    const QPoint anchor = window.At(7000);
    QWheelEvent wheel(anchor, window.Strip->mapToGlobal(anchor), {}, {0, 240}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(window.Strip, &wheel);
    QVERIFY(window.Strip->MsPerPixel() < fitted);
    QVERIFY(std::abs(window.Strip->MsOfX(anchor.x()) - 7000) <= 2 * window.Strip->MsPerPixel());
  }

  void theBusyStateCoversTheStrip() {
    TStripWindow window;
    window.Start();
    window.Fill();
    window.Started.Window->SetIdle(false);
    QVERIFY(!window.Strip->isEnabled());
    QTest::mousePress(window.Strip, Qt::LeftButton, {}, window.At(2000));
    QTest::mouseRelease(window.Strip, Qt::LeftButton, {}, window.At(8000));
    QCOMPARE(window.StartMs(2), int64_t(2000));
    window.Started.Window->SetIdle(true);
    QVERIFY(window.Strip->isEnabled());
  }

  void stretchesLandAtTheirPlaceInAnyOrderAndTheGapsShowAsUnknown() {
    TStripWindow window;
    window.Start();
    TWaveStrip* strip = window.Strip;
    strip->SetLevels({10, 10000, {}});
    // The last stretch first (with one quiet step), then the first: the middle is unknown.
    std::vector<float> last(300, -3.0f);
    last[20] = -40.0f;
    strip->PlaceLevels(700, last);
    strip->PlaceLevels(0, std::vector<float>(300, -3.0f));
    const TStripLevels& levels = strip->Levels();
    QCOMPARE(levels.PeakDb.size(), size_t(1000));
    QCOMPARE(levels.PeakDb[750], -3.0f);
    QVERIFY(!TStripLevels::Known(levels.PeakDb[500]));
    QCOMPARE(strip->LengthMs(), int64_t(10000));

    const QImage image = strip->grab().toImage();
    const int middle = strip->height() / 2;
    QVERIFY(WaveExtent(image, strip->XOfMs(1500), 20, middle) > middle / 3);
    QVERIFY(WaveExtent(image, strip->XOfMs(8500), 20, middle) > middle / 3);
    // Not yet known is neither silence (the bare background) nor sound.
    const int gap = strip->XOfMs(5000);
    QCOMPARE(WaveExtent(image, gap, 20, middle), 0);
    QVERIFY(image.pixelColor(gap, middle - 5) != QColor(252, 252, 252));

    // The quiet place near a point is looked for among the steps known only.
    QCOMPARE(QuietestMsNear(levels, 5000, 3000), int64_t(7205));
    // A finer measure of steps already sketched takes their place.
    strip->PlaceLevels(700, std::vector<float>(300, -20.0f));
    QCOMPARE(levels.PeakDb[720], -20.0f);
    QCOMPARE(levels.PeakDb.size(), size_t(1000));
  }
};

static TRegisterUiTest<TestWaveStrip> registerWaveStrip;

}  // namespace zembrio::test

#include "strip_test.moc"
