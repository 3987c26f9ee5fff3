// Track lists in the window: a CUE sheet of several files, none of them the source, offers
// its files to choose from; a new code page for lists reads the loaded list again.
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "core/settings.h"
#include "ui/cuefilechoice.h"
#include "ui/dialogs/settingsdialog.h"
#include "uitesthelpers.h"
#include "uitestregistry.h"

namespace zembrio::test {

namespace {

void WriteText(const std::string& path, const std::string& text) {
  WriteFile(path, Bytes(text.begin(), text.end()));
}

void DoubleClick(TStartedWindow& started, const char* name) {
  started.SelectFile(name);
  QListWidget* files = started.Window->Browser()->FileListBox1();
  emit files->itemDoubleClicked(files->currentItem());
}

// A step that picks the given row of the sheet's files, after checking what they say.
TModalScript::TStep PickCueFile(int row, QStringList* shown) {
  return On<TfrmCueFileChoice>([row, shown](TfrmCueFileChoice* dialog) {
    for (int index = 0; index < dialog->FileList()->count(); ++index)
      *shown << dialog->FileList()->item(index)->text();
    dialog->FileList()->setCurrentRow(row);
    dialog->findChild<QPushButton*>("btnOk")->click();
  });
}

}  // namespace

class TestTrackLists : public QObject {
  Q_OBJECT

 private slots:
  void init() { Settings() = TSettings{}; }

  void aSheetOfOtherFilesOffersThemAndThePickLoadsOne() {
    TStartedWindow started;
    WriteMpegFile(started.Dir.File("album.mp3"), 40);
    WriteText(started.Dir.File("album.cue"),
              "TITLE \"Coffret\"\nFILE \"CD1.wav\" WAVE\n"
              "  TRACK 01 AUDIO\n    TITLE \"Un\"\n    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n    TITLE \"Deux\"\n    INDEX 01 00:00:30\n"
              "FILE \"CD2.wav\" WAVE\n"
              "  TRACK 03 AUDIO\n    TITLE \"Trois\"\n    INDEX 01 00:00:00\n");
    started.Start();
    TCutGrid* grid = started.Window->Grid();
    TypeIntoCell(grid, 1, 1, "by hand");

    TModalScript script;
    QStringList shown;
    script.Then(PickCueFile(1, &shown));
    DoubleClick(started, "album.mp3");
    QVERIFY(script.Done());
    QVERIFY2(script.Unexpected.isEmpty(), qPrintable(script.Unexpected.join("; ")));
    // The message first says why nothing came, then the choice.
    QCOMPARE(script.Messages.size(), 1);
    QVERIFY2(script.Messages[0].contains("aucun n'est album.mp3"), qPrintable(script.Messages[0]));
    QCOMPARE(shown, (QStringList{"1. CD1.wav (2 piste(s))", "2. CD2.wav (1 piste(s))"}));
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(grid->CellText(1, 1), QString("03 Trois"));
    QCOMPARE(started.Window->CutList()->Album.Album, std::string("Coffret"));

    // A load like any other, undone in the steps the user saw: the sheet that gave nothing,
    // then the list typed by hand.
    started.Action("ACUndo")->trigger();
    QCOMPARE(grid->CellText(1, 1), QString());
    started.Action("ACUndo")->trigger();
    QCOMPARE(grid->CellText(1, 1), QString("by hand"));

    // Declined, nothing is loaded.
    script.Then(On<TfrmCueFileChoice>(
        [](TfrmCueFileChoice* dialog) { dialog->findChild<QPushButton*>("btnCancel")->click(); }));
    DoubleClick(started, "album.mp3");
    QVERIFY(script.Done());
    QCOMPARE(grid->CellText(1, 1), QString());
  }

  void aNewCodePageReadsTheListAgain() {
    TStartedWindow started;
    WriteMpegFile(started.Dir.File("song.mp3"), 40);
    // "Трек 01" and "Ночь" in Windows-1251.
    WriteText(started.Dir.File("song.cue"),
              "TRACK 01 AUDIO\n  TITLE \"\xD2\xF0\xE5\xEA 01\"\n  INDEX 01 00:00:00\n"
              "TRACK 02 AUDIO\n  TITLE \"\xCD\xEE\xF7\xFC\"\n  INDEX 01 00:00:30\n");
    started.Start();
    TCutGrid* grid = started.Window->Grid();
    DoubleClick(started, "song.mp3");
    QCOMPARE(grid->CellText(1, 1), QString("01 Òðåê 01"));

    TModalScript script;
    const auto chooseCodePage = [&script](int codePage, const char* button) {
      script.Then(On<TfrmSettings>([codePage, button](TfrmSettings* dialog) {
        auto* box = dialog->findChild<QComboBox*>("cbListCodePage");
        box->setCurrentIndex(box->findData(codePage));
        dialog->findChild<QPushButton*>(button)->click();
      }));
    };
    chooseCodePage(1251, "btnExit");
    started.Action("ASettings")->trigger();
    QVERIFY(script.Done());
    QCOMPARE(Settings().LISTCODEPAGE, 1251);
    QCOMPARE(grid->CellText(1, 1), QString("01 Трек 01"));
    QCOMPARE(grid->CellText(2, 1), QString("02 Ночь"));

    // Cancelled, the list stays as it is; typed into meanwhile, a new code page reads the
    // file again all the same, and the typing can be had back.
    chooseCodePage(1252, "btnCancel");
    started.Action("ASettings")->trigger();
    QVERIFY(script.Done());
    QCOMPARE(grid->CellText(1, 1), QString("01 Трек 01"));
    TypeIntoCell(grid, 2, 1, "renamed");
    chooseCodePage(0, "btnExit");
    started.Action("ASettings")->trigger();
    QVERIFY(script.Done());
    QCOMPARE(grid->CellText(1, 1), QString("01 Трек 01"));  // detected
    QCOMPARE(grid->CellText(2, 1), QString("02 Ночь"));
    started.Action("ACUndo")->trigger();
    QCOMPARE(grid->CellText(2, 1), QString("renamed"));

    // Another file selected: its list is not the one in the grid, nothing is read.
    WriteMpegFile(started.Dir.File("other.mp3"), 40);
    started.SelectFile("other.mp3");
    chooseCodePage(1252, "btnExit");
    started.Action("ASettings")->trigger();
    QVERIFY(script.Done());
    QCOMPARE(grid->CellText(2, 1), QString("renamed"));
  }
};

static TRegisterUiTest<TestTrackLists> registerTrackLists;

}  // namespace zembrio::test

#include "tracklists_test.moc"
