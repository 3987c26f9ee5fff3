// The settings dialog: what each button does to the record and the INI file, Escape and
// Enter, "Restaurer", the radio groups' out-of-range values and the time preview.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "core/inifile.h"
#include "core/settings.h"
#include "core/settingstable.h"
#include "core/textutil.h"
#include "framebuilder.h"
#include "tests/ui/dialogs/dialogtesthelpers.h"
#include "ui/dialogs/aboutbox.h"
#include "ui/dialogs/pairlisteditor.h"
#include "ui/dialogs/settingsdialog.h"

using namespace zembrio;
using Result = TfrmSettings::TSettingsResult;

namespace {

std::string FileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

QLineEdit* Edit(QWidget* dialog, const char* name) {
  return dialog->findChild<QLineEdit*>(name);
}
QPushButton* Button(QWidget* dialog, const char* name) {
  return dialog->findChild<QPushButton*>(name);
}
QList<QRadioButton*> Radios(QWidget* dialog, const char* group) {
  return dialog->findChild<QGroupBox*>(group)->findChildren<QRadioButton*>();
}

}  // namespace

class SettingsDialogTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TempDir> dir_;
  std::string ini_;

  // Opens the dialog and lets act play the user; returns the dialog's result.
  Result Run(TfrmSettings& dialog, std::function<void(TfrmSettings*)> act) {
    test::WhenModal<TfrmSettings>(std::move(act));
    return dialog.Execute();
  }

 private slots:
  void init() {
    Settings() = TSettings{};
    ReplacementList() = DefaultPairs();
    dir_ = std::make_unique<test::TempDir>();
    ini_ = dir_->File("zembrio.ini");
  }

  void saveTakesTheControlsAndWritesBothSections() {
    TfrmSettings dialog;
    dialog.SetIniPath(ini_);
    const Result result = Run(dialog, [](TfrmSettings* d) {
      Edit(d, "edMask")->setText("%A - %T");
      d->PairEditor()->StorePair(true, "&", " et ");
      Button(d, "btnSave")->click();
    });
    QCOMPARE(result, TfrmSettings::SettingsSaved);
    QCOMPARE(Settings().MASK, std::string("%A - %T"));
    QCOMPARE(ReplacementList().back(), EncodePair({"&", " et "}));
    const std::string text = FileText(ini_);
    QVERIFY(text.find("MASK=%A - %T") != std::string::npos);
    QVERIFY(text.find("[SETTINGS]") != std::string::npos);
  }

  void pauseDetectionControlsShowAndSaveTheirKeys() {
    Settings().SILENCEDB = -55;
    Settings().TRACKMIN = 30000;
    TfrmSettings dialog;
    dialog.SetIniPath(ini_);
    const Result result = Run(dialog, [](TfrmSettings* d) {
      QCOMPARE(d->findChild<QSpinBox*>("sbSilenceDb")->value(), -55);
      QCOMPARE(d->findChild<QSpinBox*>("sbTrackMin")->value(), 30000);
      d->findChild<QSpinBox*>("sbSilenceMin")->setValue(2500);
      d->findChild<QSpinBox*>("sbSilencePos")->setValue(25);
      QCOMPARE(d->findChild<QSpinBox*>("sbHearCut")->value(), 3000);
      d->findChild<QSpinBox*>("sbHearCut")->setValue(1500);
      QVERIFY(!d->findChild<QCheckBox*>("cbSnapQuiet")->isChecked());
      d->findChild<QCheckBox*>("cbSnapQuiet")->setChecked(true);
      Button(d, "btnSave")->click();
    });
    QCOMPARE(result, TfrmSettings::SettingsSaved);
    QCOMPARE(Settings().SILENCEMIN, 2500);
    QCOMPARE(Settings().SILENCEPOS, 25);
    QCOMPARE(Settings().HEARCUT, 1500);
    QCOMPARE(Settings().SNAPQUIET, 1);
    const std::string text = FileText(ini_);
    QVERIFY(text.find("HEARCUT=1500\nLISTCODEPAGE=1252\nSNAPQUIET=1\n") != std::string::npos);
    QVERIFY(text.find("SILENCEDB=-55\nSILENCEMIN=2500\nSILENCEPOS=25\nTRACKMIN=30000") !=
            std::string::npos);
  }

  void listCodePageShowsItsChoiceAndSavesItsNumber() {
    Settings().LISTCODEPAGE = 1253;
    TfrmSettings dialog;
    dialog.SetIniPath(ini_);
    const Result result = Run(dialog, [](TfrmSettings* d) {
      auto* box = d->findChild<QComboBox*>("cbListCodePage");
      QCOMPARE(box->currentText(), QString("1253 : grec"));
      box->setCurrentIndex(box->findData(0));
      QCOMPARE(box->currentText(), QString::fromUtf8("0 : détecter"));
      Button(d, "btnSave")->click();
    });
    QCOMPARE(result, TfrmSettings::SettingsSaved);
    QCOMPARE(Settings().LISTCODEPAGE, 0);
    QVERIFY(FileText(ini_).find("\nLISTCODEPAGE=0\n") != std::string::npos);
  }

  // The spin boxes stop where the settings file stops taking values.
  void spinBoxLimitsAreTheValuesTheFileTakes() {
    TfrmSettings dialog;
    const std::pair<const char*, const char*> boxes[] = {{"sbSilenceDb", "SILENCEDB"},
                                                         {"sbSilenceMin", "SILENCEMIN"},
                                                         {"sbSilencePos", "SILENCEPOS"},
                                                         {"sbTrackMin", "TRACKMIN"},
                                                         {"sbHearCut", "HEARCUT"}};
    for (const auto& [name, key] : boxes) {
      const auto* box = dialog.findChild<QSpinBox*>(name);
      const TSettingRow* row = FindSettingRow(key);
      QVERIFY(box && row && row->Range);
      QCOMPARE(box->minimum(), row->Range->Low);
      QCOMPARE(box->maximum(), row->Range->High);
    }
  }

  // Every setting of the dialog set away from its default comes back unchanged from a
  // show and a take: no control shows or takes another one's field.
  void everyControlShowsAndTakesBackItsOwnSetting() {
    for (const TSettingRow& row : SettingRows()) {
      if (row.Section != kSettingsSection || row.Name == "REPLACE")
        continue;
      std::string value = "x" + std::string(row.Name);
      if (row.Choices)
        value = "1251";
      else if (row.Range)
        value =
            std::to_string(row.NumberDefault == row.Range->High ? row.Range->Low : row.Range->High);
      else if (IsNumberSetting(row))
        value = row.NumberDefault == 0 ? "1" : "0";
      QCOMPARE(SetSettingFromText(std::string(row.Name), value), TSettingResult::Set);
    }
    const TSettings before = Settings();
    TfrmSettings dialog;
    dialog.ShowSettingsInDialog(true);
    Settings() = TSettings{};
    dialog.TakeSettingsFromDialog();
    for (const TSettingRow& row : SettingRows()) {
      if (IsTextSetting(row) && row.Section == kSettingsSection) {
        QVERIFY2(SettingText(row, Settings()) == SettingText(row, before), row.Name.data());
      } else if (IsNumberSetting(row) && row.Section == kSettingsSection) {
        QVERIFY2(SettingNumber(row, Settings()) == SettingNumber(row, before), row.Name.data());
      }
    }
  }

  void enterInAnEditSaves() {
    TfrmSettings dialog;
    dialog.SetIniPath(ini_);
    const Result result = Run(dialog, [](TfrmSettings* d) {
      QLineEdit* edit = Edit(d, "edJoinName");
      edit->setText("tout");
      QTest::keyClick(edit, Qt::Key_Return);
    });
    QCOMPARE(result, TfrmSettings::SettingsSaved);
    QCOMPARE(Settings().JOINNAME, std::string("tout"));
  }

  void quitAppliesWithoutWritingAndCancelKeepsTheRecord() {
    TfrmSettings dialog;
    dialog.SetIniPath(ini_);
    Result result = Run(dialog, [](TfrmSettings* d) {
      Radios(d, "rgTimeType")[0]->setChecked(true);
      Button(d, "btnExit")->click();
    });
    QCOMPARE(result, TfrmSettings::SettingsApplied);
    QCOMPARE(Settings().TIME_TYPE, 0);
    QVERIFY(!QFile::exists(QString::fromStdString(ini_)));

    result = Run(dialog, [](TfrmSettings* d) {
      QVERIFY(Radios(d, "rgTimeType")[0]->isChecked());  // the record is shown again
      Radios(d, "rgTimeType")[1]->setChecked(true);
      d->PairEditor()->SetPairs({});
      QTest::keyClick(Edit(d, "edMask"), Qt::Key_Escape);
    });
    QCOMPARE(result, TfrmSettings::SettingsCancelled);
    QCOMPARE(Settings().TIME_TYPE, 0);
    QCOMPARE(ReplacementList(), DefaultPairs());
  }

  void restoreChangesTheRecordAtOnceAndKeepsTheCutterPath() {
    Settings().MASK = "%T";
    Settings().ID3V1TAG = 0;
    Settings().VCUTEXE = "/opt/vcut";
    ReplacementList() = {EncodePair({"*", "x"}), EncodePair({"é", "e"})};
    TfrmSettings dialog;
    dialog.SetIniPath(ini_);
    dialog.SetFileChooser([](const QString&) { return QString("/usr/local/bin/vcut"); });
    bool escapeClosed = true;
    const Result result = Run(dialog, [&](TfrmSettings* d) {
      d->findChild<QToolButton*>("btnVcutExe")->click();
      Button(d, "btnDefaults")->click();
      QVERIFY(!Button(d, "btnCancel")->isEnabled());
      QCOMPARE(Edit(d, "edVcutExe")->text(), QString("/usr/local/bin/vcut"));
      QCOMPARE(Edit(d, "edMask")->text(), QString("%N %T"));
      QTest::keyClick(Edit(d, "edMask"), Qt::Key_Escape);
      escapeClosed = !d->isVisible();
      d->close();  // the title-bar close box still closes
    });
    QVERIFY(!escapeClosed);
    QCOMPARE(result, TfrmSettings::SettingsCancelled);
    QCOMPARE(Settings().MASK, std::string("%N %T"));
    QCOMPARE(Settings().ID3V1TAG, TSettings{}.ID3V1TAG);
    QCOMPARE(Settings().VCUTEXE, std::string("/opt/vcut"));
    QCOMPARE(ReplacementList()[1], EncodePair({"é", "e"}));
    QVERIFY(DecodePair(ReplacementList()[0]).Replacement != "x");
    QVERIFY(!QFile::exists(QString::fromStdString(ini_)));

    Run(dialog, [](TfrmSettings* d) {
      QVERIFY(Button(d, "btnCancel")->isEnabled());  // enabled again at each opening
      Button(d, "btnCancel")->click();
    });
  }

  void tagSevenShowsTheLastChoiceAndIsStoredAsTwo() {
    Settings().ID3V1TAG = 7;
    Settings().ADJUSTSTART = -1;
    TfrmSettings dialog;
    const Result result = Run(dialog, [](TfrmSettings* d) {
      QVERIFY(Radios(d, "rgId3v1Tag")[2]->isChecked());
      for (QRadioButton* radio : Radios(d, "rgAdjustStart"))
        QVERIFY(!radio->isChecked());
      Button(d, "btnExit")->click();
    });
    QCOMPARE(result, TfrmSettings::SettingsApplied);
    QCOMPARE(Settings().ID3V1TAG, 2);
    QCOMPARE(Settings().ADJUSTSTART, -1);  // no choice shown, none taken
  }

  void id3v2TagIsOneCheckBox() {
    Settings().ID3V2TAG = 0;
    TfrmSettings dialog;
    Run(dialog, [](TfrmSettings* d) {
      auto* box = d->findChild<QCheckBox*>("cbId3v2Tag");
      QVERIFY(box && !box->isChecked());
      box->setChecked(true);
      Button(d, "btnExit")->click();
    });
    QCOMPARE(Settings().ID3V2TAG, 1);
  }

  void failedSaveIsNotReportedAsSaved() {
    test::WriteFile(dir_->File("plain"), {1});
    TfrmSettings dialog;
    dialog.SetIniPath(dir_->File("plain/zembrio.ini"));
    QString message;
    const Result result = Run(dialog, [&](TfrmSettings* d) {
      Edit(d, "edMask")->setText("%T");
      test::AcceptNextMessage(&message);
      Button(d, "btnSave")->click();
    });
    QCOMPARE(result, TfrmSettings::SettingsApplied);
    QVERIFY(message.contains("plain/zembrio.ini"));
    QCOMPARE(Settings().MASK, std::string("%T"));
  }

  void aSaveThatGoesToTheFallbackSaysSoOnce() {
    test::WriteFile(dir_->File("plain"), {1});
    const TSettingsFiles files{dir_->File("plain/zembrio.ini"), dir_->File("user/zembrio.ini")};
    TfrmSettings dialog;
    dialog.SetIniFiles(files);
    for (const char* mask : {"%T", "%N"}) {
      // Any message box is answered and remembered, the one expected or another.
      QString message;
      QTimer answer;
      connect(&answer, &QTimer::timeout, [&message] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
          message = box->text();
          box->accept();
        }
      });
      answer.start(5);
      const Result result = Run(dialog, [&](TfrmSettings* d) {
        Edit(d, "edMask")->setText(mask);
        Button(d, "btnSave")->click();
      });
      QCOMPARE(result, TfrmSettings::SettingsSaved);
      QVERIFY(FileText(files.Fallback).find(std::string("MASK=") + mask) != std::string::npos);
      if (std::string(mask) == "%T") {
        QVERIFY2(message.contains("plain/zembrio.ini") && message.contains("user/zembrio.ini"),
                 qPrintable(message));
      } else {
        QVERIFY2(message.isEmpty(), qPrintable(message));
      }
    }
  }

  void previewFollowsTheControlsBeingEdited() {
    TfrmSettings dialog;
    dialog.ShowSettingsInDialog(true);
    Radios(&dialog, "rgTimeType")[0]->setChecked(true);
    Edit(&dialog, "edTimeM")->setText("M");
    Edit(&dialog, "edTimeS")->setText("S");
    Edit(&dialog, "edTimeMs")->setText("X");
    dialog.UpdateTimePreview();
    const QString preview = dialog.PreviewText();
    QVERIFY2(QRegularExpression("^\\d+M\\d+S\\d{3}X$").match(preview).hasMatch(),
             qPrintable(preview));
    QVERIFY(!preview.endsWith("9X"));

    Edit(&dialog, "edTimeMs")->clear();
    dialog.UpdateTimePreview();
    QVERIFY(dialog.PreviewText().back().isDigit());
    QCOMPARE(Settings().TIME_MS, TSettings{}.TIME_MS);  // nothing applied yet
  }

  void aboutBoxClosesWithEnterAndEscape() {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
      bool shown = false;
      test::WhenModal<TfrmAbout>([&](TfrmAbout* box) {
        shown = box->lVersion->text() == "version " ZEMBRIO_VERSION;
        QTest::keyClick(box, key);
      });
      ShowAboutBox(nullptr);
      QVERIFY(shown);
    }
  }
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_test.moc"
