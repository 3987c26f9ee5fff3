// The worker that measures the strip's envelope: stretches of a long source arrive in any
// order and fill the strip, and a load that was stopped or replaced is never heard again.
#include <QSignalSpy>
#include <QTest>

#include "framebuilder.h"
#include "ui/envelopeloader.h"
#include "ui/wavestrip.h"
#include "uitesthelpers.h"
#include "uitestregistry.h"

namespace zembrio::test {

namespace {

// About 8 minutes of MPEG frames: many stretches, measured in a second or two.
constexpr int kLongFrames = 20000;
constexpr int kShortFrames = 100;
constexpr int kStepsPerFrame = 1152 / 441 + 1;

struct TLoaderFixture {
  TempDir Dir;
  std::string Long = Dir.File("long.mp3");
  std::string Short = Dir.File("short.mp3");
  TEnvelopeLoader Loader;
  TWaveStrip Strip;

  TLoaderFixture() {
    WriteMpegFile(Long, kLongFrames);
    WriteMpegFile(Short, kShortFrames);
    QObject::connect(&Loader, &TEnvelopeLoader::Started, &Strip,
                     [this](double stepMs, qint64 durationMs, int) {
                       Strip.SetLevels({stepMs, durationMs, {}});
                     });
    QObject::connect(&Loader, &TEnvelopeLoader::StepsReady, &Strip, &TWaveStrip::PlaceLevels);
  }
};

}  // namespace

class TestEnvelopeLoader : public QObject {
  Q_OBJECT

 private slots:
  void theStretchesOfALongSourceFillTheWholeStrip() {
    TLoaderFixture f;
    QSignalSpy finished(&f.Loader, &TEnvelopeLoader::Finished);
    f.Loader.Load(QString::fromStdString(f.Long));
    QVERIFY(finished.wait(60000));
    const std::shared_ptr<const TEnvelope> envelope = f.Loader.Envelope();
    QVERIFY(envelope);
    const std::vector<float>& peaks = f.Strip.Levels().PeakDb;
    QCOMPARE(static_cast<int64_t>(peaks.size()), envelope->Count());
    for (int64_t i = 0; i < envelope->Count(); ++i) {
      if (peaks[static_cast<size_t>(i)] != static_cast<float>(envelope->At(i).PeakDb))
        QFAIL(qPrintable(QString("step %1 is not the envelope's").arg(i)));
    }
    QVERIFY(!f.Loader.Running());
  }

  void aStoppedOrReplacedLoadIsNeverHeardAgain() {
    TLoaderFixture f;
    QSignalSpy steps(&f.Loader, &TEnvelopeLoader::StepsReady);
    QSignalSpy finished(&f.Loader, &TEnvelopeLoader::Finished);
    f.Loader.Load(QString::fromStdString(f.Long));
    QVERIFY(steps.wait(60000));
    f.Loader.Stop();
    QVERIFY(!f.Loader.Running());
    QVERIFY(!f.Loader.Envelope());
    const qsizetype heard = steps.count();
    QTest::qWait(300);
    QCOMPARE(steps.count(), heard);
    QCOMPARE(finished.count(), 0);

    // Replaced half-way: only the short source's steps come after its load.
    f.Loader.Load(QString::fromStdString(f.Long));
    QVERIFY(steps.wait(60000));
    f.Loader.Load(QString::fromStdString(f.Short));
    const qsizetype before = steps.count();
    QVERIFY(finished.wait(60000));
    QCOMPARE(finished.count(), 1);
    QTest::qWait(100);
    QVERIFY(steps.count() > before);
    for (qsizetype i = before; i < steps.count(); ++i) {
      const qint64 first = steps[i][0].value<qint64>();
      const auto peaks = steps[i][1].value<std::vector<float>>();
      QVERIFY(first + static_cast<qint64>(peaks.size()) <= kShortFrames * kStepsPerFrame);
    }
    QCOMPARE(f.Loader.Envelope()->TotalSamples(), int64_t{kShortFrames} * 1152);
  }
};

static TRegisterUiTest<TestEnvelopeLoader> registerEnvelopeLoader;

}  // namespace zembrio::test

#include "envelopeloader_test.moc"
