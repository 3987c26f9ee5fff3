// The settings dialog "Réglages": three pages of controls bound to the settings record,
// a live preview of the time format being edited, and the replacement pair editor. It
// is created once at program start and reused for every opening.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/inifile.h"
#include "core/settings.h"

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

// How one control shows its field and takes it back; FullOnly ones are left alone by
// "Restaurer" (the cutter path).
struct TFieldBinding {
  std::function<void(const TSettings&)> Show;
  std::function<void(TSettings&)> Take;
  bool FullOnly = false;
};

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
  // Each makes a control and binds it to its field: shown from the record, taken back into
  // it. A number's check box is on for 1 and gives 1 or 0.
  QCheckBox* BindCheck(QWidget* parent, bool TSettings::*field, const char* caption,
                       const char* name);
  QCheckBox* BindCheck(QWidget* parent, int32_t TSettings::*field, const char* caption,
                       const char* name);
  QLineEdit* BindEdit(QWidget* parent, std::string TSettings::*field, const char* name);
  // A titled box of choices whose ids are the field's values.
  QGroupBox* BindRadioGroup(QWidget* parent, int32_t TSettings::*field, const char* title,
                            const QStringList& items, const char* name, QButtonGroup** group);
  // Its limits are the values the settings file takes.
  QSpinBox* BindSpin(QWidget* parent, int32_t TSettings::*field, const char* name, int step);
  QComboBox* BindCodePages(QWidget* parent, int32_t TSettings::*field, const char* name);
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

  // Controls the time preview and the cutter's "..." read while the dialog is open.
  QCheckBox* cbShowHours_ = nullptr;
  QButtonGroup* rgTimeType_ = nullptr;
  QLineEdit* edTimeH_ = nullptr;
  QLineEdit* edTimeM_ = nullptr;
  QLineEdit* edTimeS_ = nullptr;
  QLineEdit* edTimeMs_ = nullptr;
  QLineEdit* edTimeF_ = nullptr;
  QLabel* lPreview_ = nullptr;
  QLineEdit* edVcutExe_ = nullptr;
  // Every control bound to a field of the record, in the order they were made.
  std::vector<TFieldBinding> bindings_;
  // Buttons
  QPushButton* btnDefaults_ = nullptr;
  QPushButton* btnCancel_ = nullptr;
  QPushButton* btnExit_ = nullptr;
  QPushButton* btnSave_ = nullptr;
};

}  // namespace zembrio
