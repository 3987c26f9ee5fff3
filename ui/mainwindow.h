// TfrmMain: the program's working window. It lays out the file browser, the toolbars,
// the two pages and the status bar, owns the cut list and the run state, shows the
// operations' feedback, and starts the operations from its actions.
#pragma once

#include <QMainWindow>
#include <QMargins>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/inifile.h"
#include "cut/runfeedback.h"
#include "cutlist/cutpoint.h"
#include "ui/dialogquestions.h"
#include "ui/windowrules.h"

class QSplitter;
class QTabWidget;
class QToolBar;

namespace zembrio {

class TCutGrid;
class TCutPage;
class TFileBrowser;
class TJoinPage;
class TMainStatusBar;
class TfrmOverwriteWarning;
class TfrmSettings;
class TfrmStatistSet;
class TfrmStatistics;

// The long-lived windows the main window works with, created at start in this order
// after it.
struct TMainWindowDialogs {
  TfrmOverwriteWarning* OverwriteWarning = nullptr;
  TfrmSettings* Settings = nullptr;
  TfrmStatistics* Statistics = nullptr;
  TfrmStatistSet* StatistSet = nullptr;
};

class TfrmMain : public QMainWindow, public IRunFeedback {
  Q_OBJECT

 public:
  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  void SetDialogs(const TMainWindowDialogs& dialogs);
  // The settings file for the window state; unset: the program's own
  // (DefaultSettingsFiles). A single path has no fallback.
  void SetIniPath(const std::string& path) { SetIniFiles({path, path}); }
  void SetIniFiles(const TSettingsFiles& files) { iniFiles_ = files; }
  // Whether Shift is held as a cut starts (batch mode for Ogg sources).
  void SetShiftTest(std::function<bool()> test) { shiftHeld_ = std::move(test); }

  // IRunFeedback
  void SetIdle(bool idle) override;
  void ShowReady() override;
  void SetProgress(double fraction) override;
  void ShowStateText(const std::string& text) override;
  void ShowInfoText(const std::string& text) override;
  void ProcessPendingEvents() override;
  void ShowMessage(const std::string& text) override;
  void ReportError(const std::string& text) override;
  void SetWaitCursor(bool on) override;
  void SetRowStatus(int row, const std::string& status) override;
  void ClearRowStatuses() override;
  void SelectRow(int row) override;
  void RefreshGrid() override;
  void ShowReport(const std::vector<std::string>& lines) override;

  TRunState& State() { return state_; }
  TCPList* CutList() const { return list_.get(); }
  TFileBrowser* Browser() const { return browser_; }
  TCutPage* CutPage() const { return cutPage_; }
  TCutGrid* Grid() const;
  TJoinPage* JoinPage() const { return joinPage_; }
  TMainStatusBar* StatusPanel() const { return statusBar_; }
  QTabWidget* PageControl1() const { return pages_; }
  QSplitter* Splitter() const { return splitter_; }
  bool OperationRunning() const { return runningOperations_ > 0; }

  // Opens the file's folder in the browser and selects the file as a double click does
  // (the track list beside it loaded): the file that the desktop hands over, or one dropped
  // onto the window. Before the first showing, it waits for the start to restore the state.
  void OpenFile(const QString& path);
  // "Enregistrer la liste...": the cut list as a CUE sheet naming the selected source.
  // SaveListTo writes it to path; false, with the error shown, when it cannot.
  void SaveListAsCue();
  bool SaveListTo(const std::string& path);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildActions();
  QWidget* BuildMainToolbar();
  void BuildLayout();
  void SetTabOrder();
  void RunStartSequence();
  void RestoreLastFolder();
  void RestoreGeometry();
  void ApplySavedGeometry();
  void SaveWindowState();
  void SwitchPage();
  void UpdateCutDestination(const QString& path);
  void OnFileDoubleClicked(const QString& path);
  void ChooseCutDestination();
  void ImportFromFile();
  // The track list the grid was last loaded from: read again when its code page changes.
  struct TLoadedList {
    QString Source;
    std::string Path;
    int Type = 0;
    std::string CueFile;  // the file of a sheet of several that the user chose
  };
  // Loads the list into the grid; a CUE sheet none of whose files is the source then
  // offers its files to choose from.
  void LoadTrackList(TLoadedList list);
  void ChooseCueFile(TLoadedList list);
  void RereadTrackList();
  // Runs an action's work: errors it does not handle go to ReportError, and a close
  // asked for meanwhile happens once it has ended.
  void RunOperation(const std::function<void()>& work);
  void Cut();
  void Join();
  void Statistics();
  void OpenSettings();

  TRunState state_;
  std::unique_ptr<TCPList> list_;
  TfrmOverwriteWarning* overwriteWarning_ = nullptr;
  TDialogQuestions questions_{this, overwriteWarning_};
  TRunContext context_{state_, *this, questions_};
  TMainWindowDialogs dialogs_;
  std::optional<TSettingsFiles> iniFiles_;
  std::function<bool()> shiftHeld_;
  bool started_ = false;
  std::optional<TRect> savedOuter_;  // while the frame may still change
  QMargins appliedFrame_;
  QString pendingFile_;  // handed over before the first showing
  std::optional<TLoadedList> loadedList_;
  bool closed_ = false;
  bool closePending_ = false;
  bool waitCursor_ = false;
  int runningOperations_ = 0;

  TFileBrowser* browser_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QTabWidget* pages_ = nullptr;
  TCutPage* cutPage_ = nullptr;
  TJoinPage* joinPage_ = nullptr;
  TMainStatusBar* statusBar_ = nullptr;
  QAction* aCut_ = nullptr;
  QAction* aJoin_ = nullptr;
  QAction* aStatistics_ = nullptr;
  QAction* aAbort_ = nullptr;
  QAction* aSettings_ = nullptr;
  QAction* aAbout_ = nullptr;
  QAction* aExit_ = nullptr;
};

}  // namespace zembrio
