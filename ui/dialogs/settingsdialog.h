// The settings dialog "Réglages": three pages of controls bound to the settings record,
// a live preview of the time format being edited, and the replacement pair editor. It
// is created once at program start and reused for every opening.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "core/inifile.h"

class QButtonGroup;
class QGroupBox;
class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLabel;
class QHideEvent;
class QLineEdit;
class QPushButton;
class QShowEvent;
class QSpinBox;
class QTabWidget;
class QTimer;

namespace zembrio {

class TPairListEditor;

class TfrmSettings : public QDialog {
  Q_OBJECT

 public:
  enum TSettingsResult { SettingsSaved, SettingsApplied, SettingsCancelled };

  // Asks for a file, starting from the current text; nullopt when the user cancels.
  // The default shows a file-open dialog.
  using TFileChooser = std::function<std::optional<QString>(const QString& current)>;

  explicit TfrmSettings(QWidget* parent = nullptr);
  ~TfrmSettings() override;

  // Shows the record, runs the dialog modally and tells how it was left.
  TSettingsResult Execute();

  // Copies the record into the controls; full also refills the pair list and the
  // cutter path.
  void ShowSettingsInDialog(bool full);
  // Copies the controls into the record and the pair list into ReplacementList().
  void TakeSettingsFromDialog();
  // Refreshes the "aperçu:" text from the clock and the time controls being edited.
  void UpdateTimePreview();
  QString PreviewText() const;

  void SetFileChooser(TFileChooser chooser) { chooseFile_ = std::move(chooser); }
  // Where "Sauver" writes; DefaultSettingsFiles() unless set (the tests use their own file).
  // A single path has no fallback.
  void SetIniPath(std::string path) { SetIniFiles({path, path}); }
  void SetIniFiles(TSettingsFiles files) {
    iniFiles_ = [files = std::move(files)] { return files; };
  }
  TPairListEditor* PairEditor() const { return pairEditor_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QWidget* BuildCommonPage();
  QWidget* BuildAnalyserPage();
  QWidget* BuildSpecificPage();
  QGroupBox* BuildPauseGroup(QWidget* page);
  void BuildButtons();
  void Save();
  void Apply();
  void RestoreDefaults();
  void ChooseCutter();
  void Finish(TSettingsResult result);

  TSettingsResult result_ = SettingsCancelled;
  TFileChooser chooseFile_;
  std::function<TSettingsFiles()> iniFiles_;
  bool toldFallback_ = false;  // the fallback file is named once a run
  QTabWidget* pages_ = nullptr;
  QTimer* previewTimer_ = nullptr;
  TPairListEditor* pairEditor_ = nullptr;

  // "Communs"
  QCheckBox* cbAddExtension_ = nullptr;
  QCheckBox* cbShowHours_ = nullptr;
  QButtonGroup* rgTimeType_ = nullptr;
  QLineEdit* edTimeH_ = nullptr;
  QLineEdit* edTimeM_ = nullptr;
  QLineEdit* edTimeS_ = nullptr;
  QLineEdit* edTimeMs_ = nullptr;
  QLineEdit* edTimeF_ = nullptr;
  QLabel* lPreview_ = nullptr;
  QLineEdit* edCutDir_ = nullptr;
  QLineEdit* edJoinName_ = nullptr;
  // "Spécifiques", pause detection
  QSpinBox* sbSilenceDb_ = nullptr;
  QSpinBox* sbSilenceMin_ = nullptr;
  QSpinBox* sbSilencePos_ = nullptr;
  QSpinBox* sbTrackMin_ = nullptr;
  QSpinBox* sbHearCut_ = nullptr;
  QCheckBox* cbSnapQuiet_ = nullptr;
  // "Analyseur"
  QLineEdit* edMask_ = nullptr;
  QCheckBox* cbZeroIndex_ = nullptr;
  QLineEdit* edXmcdSepTrack_ = nullptr;
  QLineEdit* edXmcdSepDisc_ = nullptr;
  QButtonGroup* rgPlainTextFmt_ = nullptr;
  QLineEdit* edPlainTextSep_ = nullptr;
  // "Spécifiques"
  QCheckBox* cbSkipVbrHeader_ = nullptr;
  QCheckBox* cbXingHeader_ = nullptr;
  QButtonGroup* rgId3v1Tag_ = nullptr;
  QCheckBox* cbId3v2Tag_ = nullptr;
  QButtonGroup* rgAdjustStart_ = nullptr;
  QLineEdit* edVcutExe_ = nullptr;
  QComboBox* cbListCodePage_ = nullptr;
  // Buttons
  QPushButton* btnDefaults_ = nullptr;
  QPushButton* btnCancel_ = nullptr;
  QPushButton* btnExit_ = nullptr;
  QPushButton* btnSave_ = nullptr;
};

}  // namespace zembrio
