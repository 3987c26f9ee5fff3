// The strip and the player on a real source, in a process without any audio output.
#include <algorithm>

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "core/settings.h"
#include "cutlist/cutpoint.h"
#include "soundfiles.h"
#include "ui/cutpage.h"
#include "ui/cutplayer.h"
#include "ui/envelopeloader.h"
#include "ui/pausedialog.h"
#include "ui/soundpanel.h"
#include "ui/statuspanel.h"
#include "ui/wavestrip.h"
#include "uitesthelpers.h"
#include "uitestregistry.h"

namespace zembrio::test {

class TestSoundPanel : public QObject {
  Q_OBJECT

 private slots:
  void theStripShowsTheEnvelopeOfTheSelectedSource() {
    TStartedWindow started;
    started.Start();
    WriteLiveRecording(started.Dir.Path(), started.Dir.File("live.mp3"));
    started.SelectFile("live.mp3");
    TSoundPanel* sound = started.Window->CutPage()->Sound();
    QTRY_VERIFY_WITH_TIMEOUT(!sound->Loader()->Running(), 20000);
    const TStripLevels& levels = sound->Strip()->Levels();
    QVERIFY(std::abs(levels.DurationMs - 16000) < 100);
    QVERIFY(std::abs(levels.PeakDb.size() * levels.StepMs - 16000) < 100);
    // The loudest step of a stretch: the first track's level swings at 0.5 Hz, so a single
    // step may fall in one of its troughs.
    const auto loudestIn = [&levels](double from, double to) {
      const auto step = [&levels](double seconds) {
        return static_cast<size_t>(seconds * 1000 / levels.StepMs);
      };
      return *std::max_element(levels.PeakDb.begin() + step(from),
                               levels.PeakDb.begin() + step(to));
    };
    QVERIFY(loudestIn(1.5, 2.5) > -25);
    QVERIFY(loudestIn(4.5, 5.5) < -50);
    QVERIFY(loudestIn(7.5, 8.5) > -25);
    QVERIFY(loudestIn(11, 11.3) < -50);

    // Another file: the old envelope goes at once, a file that is no sound says so.
    WriteFile(started.Dir.File("notes.mp3"), Bytes(1000, 0x55));
    started.SelectFile("notes.mp3");
    QVERIFY(sound->Strip()->Levels().PeakDb.empty());
    QTRY_VERIFY_WITH_TIMEOUT(!sound->Loader()->Running(), 20000);
    QVERIFY(started.Window->StatusPanel()->InfoText().contains("Forme d'onde indisponible"));
  }

  void thePauseDialogCountsThePointsAndFillsTheGrid() {
    TStartedWindow started;
    started.Start();
    WriteLiveRecording(started.Dir.Path(), started.Dir.File("live.mp3"));
    started.SelectFile("live.mp3");
    TSoundPanel* sound = started.Window->CutPage()->Sound();
    QTRY_VERIFY_WITH_TIMEOUT(!sound->Loader()->Running(), 20000);

    TModalScript script;
    QStringList previews;
    script.Then(On<TfrmPauses>([&previews](TfrmPauses* dialog) {
      // Both songs before the last are shorter than the default minimum track length.
      previews << dialog->Preview()->text();
      QVERIFY(!dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled());
      dialog->findChild<QSpinBox*>("SpinMinTrack")->setValue(2);
      previews << dialog->Preview()->text();
      dialog->ByLength()->setChecked(true);
      dialog->Every()->setValue(5);
      previews << dialog->Preview()->text();
      dialog->ByParts()->setChecked(true);
      dialog->Parts()->setValue(2);
      previews << dialog->Preview()->text();
      dialog->ByPauses()->setChecked(true);
      dialog->accept();
    }));
    sound->ACDetectPauses()->trigger();
    QVERIFY(script.Done());
    QCOMPARE(previews, QStringList({"Aucun point de coupe : le fichier reste entier",
                                    "2 points de coupe, soit 3 fichiers",
                                    "3 points de coupe, soit 4 fichiers",
                                    "1 point de coupe, soit 2 fichiers"}));
    TCutGrid* grid = started.Window->Grid();
    QCOMPARE(grid->rowCount(), 3);
    const TCPList& list = *started.Window->CutList();
    QVERIFY(std::abs(PositionAt(list[1], 1000) - 5000) < 300);
    QVERIFY(std::abs(PositionAt(list[2], 1000) - 11250) < 300);
    QCOMPARE(grid->CellText(2, 1), QString("02"));
    QCOMPARE(Settings().TRACKMIN, 2000);  // kept for the next time

    // Now that the list has names, it is not replaced unasked.
    QString asked;
    script.Then(On<TfrmPauses>([](TfrmPauses* dialog) {
      dialog->ByParts()->setChecked(true);
      dialog->Parts()->setValue(5);
      dialog->accept();
    }));
    script.Then(On<QMessageBox>([&asked](QMessageBox* box) {
      asked = box->text();
      box->button(QMessageBox::No)->click();
    }));
    sound->ACDetectPauses()->trigger();
    QCOMPARE(asked, QString("Remplacer la liste actuelle ?"));
    QCOMPARE(grid->rowCount(), 3);
  }

  void playingWithoutADeviceSaysSoAndBreaksNothing() {
    TStartedWindow started;
    started.Start();
    WriteLiveRecording(started.Dir.Path(), started.Dir.File("live.mp3"));
    started.SelectFile("live.mp3");
    TSoundPanel* sound = started.Window->CutPage()->Sound();
    sound->ACPlay()->trigger();
    QVERIFY(!sound->Player()->Playing());
    QVERIFY(started.Window->StatusPanel()->InfoText().contains("Aucune sortie audio"));
    QVERIFY(sound->Player()->Play(sound->Source().toStdString(), 0) == false);
    started.Window->StatusPanel()->SetInfoText("");
    sound->Strip()->setFocus();
    QTest::keyClick(sound->Strip(), Qt::Key_Space);  // Space plays too
    QVERIFY(started.Window->StatusPanel()->InfoText().contains("Aucune sortie audio"));

    TCutGrid* grid = started.Window->Grid();
    started.Action("ACAdd")->trigger();
    TypeIntoCell(grid, 2, 0, "5");
    grid->SelectRow(2);
    sound->ACHearCut()->trigger();
    QVERIFY(!sound->Player()->Playing());
    QCOMPARE(grid->rowCount(), 2);
    QVERIFY(started.Window->State().Idle);
  }
};

static TRegisterUiTest<TestSoundPanel> registerSoundPanel;

}  // namespace zembrio::test

#include "sound_test.moc"
