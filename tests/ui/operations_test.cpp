// The long operations started from the window: cut, overwrite question, abort, statistics,
// imports, and closing while a cut runs.
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "core/fileio.h"
#include "core/settings.h"
#include "soundfiles.h"
#include "ui/cutpage.h"
#include "ui/overwritedialog.h"
#include "ui/statisticsoptions.h"
#include "ui/statisticswindow.h"
#include "ui/statuspanel.h"
#include "uitesthelpers.h"
#include "uitestregistry.h"

namespace zembrio::test {

namespace {

// A source of 400 frames (about 10.4 s) with the cut points "intro" at 0 s and "fin" at 5 s.
void PrepareTwoFragmentCut(TStartedWindow& started) {
  WriteMpegFile(started.Dir.File("song.mp3"), 400);
  started.Start("", "CUTDIR=cut/\n");
  started.SelectFile("song.mp3");
  TCutGrid* grid = started.Window->Grid();
  TypeIntoCell(grid, 1, 1, "intro");
  started.Action("ACAdd")->trigger();
  TypeIntoCell(grid, 2, 1, "fin");
  TypeIntoCell(grid, 2, 0, "5s");
}

TModalScript::TStep CloseReport(QString* text) {
  return On<TfrmStatistics>([text](TfrmStatistics* window) {
    *text = window->Text();
    window->accept();
  });
}

TModalScript::TStep AnswerOverwrite(QRadioButton* (TfrmOverwriteWarning::*choice)() const,
                                    const QString& name = {}) {
  return On<TfrmOverwriteWarning>([choice, name](TfrmOverwriteWarning* dialog) {
    (dialog->*choice)()->setChecked(true);
    if (!name.isEmpty())
      dialog->EditName()->setText(name);
    dialog->accept();
  });
}

// The first bytes of an Ogg Vorbis stream: all that tells the window what the file is.
Bytes OggVorbisStart() {
  Bytes bytes = {'O', 'g', 'g', 'S', 0, 0x02};
  bytes.resize(26, 0);
  for (const uint8_t byte : std::initializer_list<uint8_t>{1, 7, 1, 'v', 'o', 'r', 'b', 'i', 's'})
    bytes.push_back(byte);
  bytes.resize(64, 'x');
  return bytes;
}

}  // namespace

class TestOperations : public QObject {
  Q_OBJECT

 private slots:
  void cutWritesFragmentsStatusesAndReport() {
    TStartedWindow started;
    PrepareTwoFragmentCut(started);
    Settings().XINGHEADER = false;  // the fragments' sizes add up to the source's
    Settings().ID3V2TAG = 0;
    const std::string cutDir = started.Dir.File("cut/");
    QCOMPARE(started.Window->CutPage()->EditCutDir()->text().toStdString(), cutDir);
    TModalScript script;
    QString report;
    script.Then(CloseReport(&report));
    started.Action("ACut")->trigger();
    QVERIFY(script.Done());
    QVERIFY(script.Unexpected.isEmpty());
    const int64_t total = std::filesystem::file_size(cutDir + "intro.mp3") +
                          std::filesystem::file_size(cutDir + "fin.mp3");
    QCOMPARE(total, static_cast<int64_t>(std::filesystem::file_size(started.Dir.File("song.mp3"))));
    QCOMPARE(started.Window->Grid()->CellText(1, 3), QString("fait"));
    QCOMPARE(started.Window->Grid()->CellText(2, 3), QString("fait"));
    QVERIFY(report.contains("Fragments:"));
    QVERIFY(report.contains(" Nom fich: " + QString::fromStdString(cutDir) + "fin.mp3"));
    QVERIFY(!report.contains("Total frames"));
    QCOMPARE(started.Window->windowTitle(), QString("Zembrio " ZEMBRIO_VERSION));
    QVERIFY(started.Window->State().Idle);
  }

  void aListOutOfTimeOrderIsCutInTimeOrder() {
    TStartedWindow started;
    PrepareTwoFragmentCut(started);
    // As an import out of order leaves it: "late" at 8 s listed before "fin" at 5 s.
    TCutPoint& late = started.Window->CutList()->Add();
    SetFrames(late, 8, 0);
    late.Name = "late";
    started.Window->CutList()->Exchange(1, 2);
    TModalScript script;
    QString report;
    script.Then(CloseReport(&report));
    started.Action("ACut")->trigger();
    const std::string cutDir = started.Dir.File("cut/");
    // fin holds 5 s to 8 s (about 115 frames of 417 bytes), late the rest (about 94).
    QVERIFY(std::filesystem::file_size(cutDir + "fin.mp3") > 100 * 417);
    QVERIFY(std::filesystem::file_size(cutDir + "late.mp3") > 80 * 417);
    QCOMPARE(started.Window->Grid()->CellText(3, 1), QString("late"));
  }

  void overwriteQuestionHonoursEveryChoice() {
    TStartedWindow started;
    PrepareTwoFragmentCut(started);
    TModalScript script;
    QString report;
    script.Then(CloseReport(&report));
    started.Action("ACut")->trigger();

    // "Ecraser" asks again for the next file; the choice is kept between showings.
    script.Then(AnswerOverwrite(&TfrmOverwriteWarning::RBOverwrite));
    script.Then(On<TfrmOverwriteWarning>([](TfrmOverwriteWarning* dialog) {
      QVERIFY(dialog->RBOverwrite()->isChecked());
      QVERIFY(dialog->MessageLabel()->text().endsWith("fin.mp3\" existe!"));
      dialog->accept();
    }));
    script.Then(CloseReport(&report));
    started.Action("ACut")->trigger();
    QVERIFY(script.Done());

    // "Ecraser tout" asks once per run.
    script.Then(AnswerOverwrite(&TfrmOverwriteWarning::RBOverwriteAll));
    script.Then(CloseReport(&report));
    started.Action("ACut")->trigger();
    QVERIFY(script.Done());

    // "Enregistrer sous:" writes under the new name.
    const QString other = QString::fromStdString(started.Dir.File("cut/autre.mp3"));
    script.Then(AnswerOverwrite(&TfrmOverwriteWarning::RBSaveAs, other));
    script.Then(AnswerOverwrite(&TfrmOverwriteWarning::RBOverwrite));
    script.Then(CloseReport(&report));
    started.Action("ACut")->trigger();
    QVERIFY(script.Done());
    QVERIFY(std::filesystem::exists(other.toStdString()));
    QVERIFY(report.contains(" Nom fich: " + other));

    // "Interrompre" stops the run.
    script.Then(On<TfrmOverwriteWarning>([](TfrmOverwriteWarning* d) { d->reject(); }));
    started.Action("ACut")->trigger();
    QVERIFY(script.Done());
    QCOMPARE(script.Messages.value(0), QString("  Abandon ."));
    QCOMPARE(started.Window->Grid()->CellText(1, 3), QString("**    abandon **"));
    QVERIFY(script.Unexpected.isEmpty());
  }

  void abortDuringACutLeavesTheBusyStateAndShowsAbandon() {
    TStartedWindow started;
    PrepareTwoFragmentCut(started);
    TModalScript script;
    bool busyWhileRunning = false;
    QTimer aborter;
    connect(&aborter, &QTimer::timeout, this, [&] {
      if (!started.Window->OperationRunning())
        return;
      busyWhileRunning =
          started.Action("AAbort")->isEnabled() && !started.Action("ACut")->isEnabled() &&
          !started.Action("AStatistics")->isEnabled() && !started.Action("AExit")->isEnabled() &&
          !started.Window->Grid()->isEnabled();
      started.Action("AAbort")->trigger();
      aborter.stop();
    });
    aborter.start(0);
    started.Action("ACut")->trigger();
    QVERIFY(busyWhileRunning);
    QCOMPARE(script.Messages, QStringList({"  Abandon ."}));
    QVERIFY(started.Window->State().Idle);
    QVERIFY(!started.Action("AAbort")->isEnabled());
    QVERIFY(started.Action("ACut")->isEnabled());
  }

  void closingDuringACutAbortsItThenCloses() {
    TStartedWindow started;
    PrepareTwoFragmentCut(started);
    TModalScript script;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
      if (!started.Window->OperationRunning())
        return;
      started.Window->close();
      closer.stop();
    });
    closer.start(0);
    started.Action("ACut")->trigger();
    QCOMPARE(script.Messages, QStringList({"  Abandon ."}));
    QTRY_VERIFY(!started.Window->isVisible());
    QVERIFY(ReadWholeFile(started.Ini).find("WNDSPLITTER=") != std::string::npos);
  }

  void statisticsWithAndWithoutDetail() {
    TStartedWindow started;
    WriteMpegFile(started.Dir.File("song.mp3"), 400);
    WriteFile(started.Dir.File("tune.OGG"), OggVorbisStart());
    started.Start();
    TModalScript script;
    QString report;

    started.SelectFile("tune.OGG");
    started.Action("AStatistics")->trigger();
    QCOMPARE(script.Messages, QStringList({"Statistiques indisponibles pour les fichiers ogg !"}));

    started.SelectFile("song.mp3");
    const std::string detail = started.Dir.File("song.mp3.txt");
    script.Then(On<TfrmStatistSet>([&](TfrmStatistSet* dialog) {
      QCOMPARE(dialog->EditFileName()->text().toStdString(), detail);
      QVERIFY(!dialog->EditFileName()->isEnabled());
      dialog->accept();
    }));
    script.Then(CloseReport(&report));
    started.Action("AStatistics")->trigger();
    QVERIFY(script.Done());
    QVERIFY(report.contains("Total frames: 400"));
    QVERIFY(!std::filesystem::exists(detail));

    script.Then(On<TfrmStatistSet>([](TfrmStatistSet* dialog) {
      dialog->RBDetail()->click();
      QVERIFY(dialog->EditFileName()->isEnabled());
      dialog->accept();
    }));
    script.Then(CloseReport(&report));
    started.Action("AStatistics")->trigger();
    QVERIFY(script.Done());
    const std::string listing = ReadWholeFile(detail);
    QVERIFY(listing.rfind("Fr:     1", 0) == 0);
    QVERIFY(listing.find("Total frames: 400") != std::string::npos);

    // Cancelling the dialog runs nothing.
    script.Then(On<TfrmStatistSet>([](TfrmStatistSet* dialog) { dialog->reject(); }));
    started.Action("AStatistics")->trigger();
    QVERIFY(script.Done());
    QVERIFY(script.Unexpected.isEmpty());
  }

  // A FLAC album image holding its own track list as a CUESHEET comment, as rippers write
  // it: listed, its tracks loaded by a double click, cut into verified tracks, analysed.
  void aFlacImageIsListedLoadedCutAndAnalysed() {
    if (std::system("command -v flac >/dev/null && command -v metaflac >/dev/null && "
                    "command -v sox >/dev/null") != 0)
      QSKIP("sox, flac and metaflac are needed");
    TStartedWindow started;
    const std::string folder = started.Dir.Path();
    const std::string cue =
        "PERFORMER \"Groupe\"\nTITLE \"Album\"\nFILE \"image.flac\" WAVE\n"
        "  TRACK 01 AUDIO\n    TITLE \"Un\"\n    INDEX 01 00:00:00\n"
        "  TRACK 02 AUDIO\n    TITLE \"Deux\"\n    INDEX 01 00:02:30\n";
    WriteFile(started.Dir.File("sheet.txt"), Bytes(cue.begin(), cue.end()));
    RunTool("cd " + folder + " && sox -q -n -r 44100 -c 2 -b 16 image.wav synth 4 pinknoise " +
            "gain -10 && flac -s -f -o image.flac image.wav && rm image.wav && " +
            "metaflac --set-tag-from-file=CUESHEET=sheet.txt image.flac");
    started.Start("", "CUTDIR=cut/\n");
    started.SelectFile("image.flac");
    QListWidget* files = started.Window->Browser()->FileListBox1();
    QCOMPARE(files->currentItem()->text(), QString("image.flac"));
    emit files->itemDoubleClicked(files->currentItem());
    TCutGrid* grid = started.Window->Grid();
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(grid->CellText(2, 1), QString("02 Deux"));

    TModalScript script;
    QString report;
    script.Then(CloseReport(&report));
    started.Action("ACut")->trigger();
    QVERIFY(script.Done());
    QVERIFY2(script.Unexpected.isEmpty(), qPrintable(script.Unexpected.join("; ")));
    QCOMPARE(grid->CellText(1, 3), QString("fait"));
    QCOMPARE(grid->CellText(2, 3), QString("fait"));
    QVERIFY2(report.contains("MD5 source: vérifié"), qPrintable(report));
    const std::string cut = started.Dir.File("cut/");
    RunTool("flac -t -s '" + cut + "01 Un.flac' '" + cut + "02 Deux.flac'");

    // No listing to ask for: the report comes straight away.
    script.Then(CloseReport(&report));
    started.Action("AStatistics")->trigger();
    QVERIFY(script.Done());
    QVERIFY2(report.contains("MD5 source: vérifié"), qPrintable(report));
  }

  void importThroughTheDialogEntriesAndByDoubleClick() {
    TStartedWindow started;
    const std::string cue =
        "TITLE \"Disque\"\nTRACK 01 AUDIO\n  TITLE \"Intro\"\n  INDEX 01 00:00:00\n"
        "TRACK 02 AUDIO\n  TITLE \"Deux\"\n  INDEX 01 01:30:00\n";
    WriteFile(started.Dir.File("song.cue"), Bytes(cue.begin(), cue.end()));
    WriteMpegFile(started.Dir.File("song.mp3"), 10);
    WriteMpegFile(started.Dir.File("lone.mp3"), 10);
    started.Start("IMPIDX=3\n");
    TModalScript script;
    TCutGrid* grid = started.Window->Grid();
    const QString cuePath = QString::fromStdString(started.Dir.File("song.cue"));

    auto chooseEntry = [cuePath](int entry, QString* preset) {
      return On<QFileDialog>([=](QFileDialog* dialog) {
        *preset = dialog->selectedNameFilter();
        dialog->selectNameFilter(dialog->nameFilters().at(entry));
        dialog->selectFile(cuePath);
        QMetaObject::invokeMethod(dialog, "accept");
      });
    };
    QString preset;
    script.Then(chooseEntry(0, &preset));
    started.Action("ACLoadCue")->trigger();
    QVERIFY(script.Done());
    QCOMPARE(preset, QString("Plain Text (*.*)"));
    QCOMPARE(Settings().IMPIDX, 1);
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(grid->CellText(1, 1), QString("01 Intro"));
    QCOMPARE(grid->CellText(2, 1), QString("02 Deux"));
    QCOMPARE(started.Window->StatusPanel()->InfoText(), " " + cuePath + " chargé.");

    // The reader follows the entry, not the extension.
    script.Then(chooseEntry(2, &preset));
    started.Action("ACLoadCue")->trigger();
    QVERIFY(script.Done());
    QCOMPARE(preset, QString("CUE Sheet (*.cue)"));
    QCOMPARE(Settings().IMPIDX, 3);
    QVERIFY(grid->CellText(2, 1) != QString("02 Deux"));

    auto doubleClick = [&](const char* name) {
      started.SelectFile(name);
      QListWidget* files = started.Window->Browser()->FileListBox1();
      emit files->itemDoubleClicked(files->currentItem());
    };
    doubleClick("song.mp3");
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(grid->CellText(2, 1), QString("02 Deux"));
    doubleClick("lone.mp3");
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(grid->CellText(1, 1), QString());
  }
};

static TRegisterUiTest<TestOperations> registerOperations;

}  // namespace zembrio::test

#include "operations_test.moc"
