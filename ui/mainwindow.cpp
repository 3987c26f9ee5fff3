#include "ui/mainwindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>
#include <utility>

#include "app/destination.h"
#include "app/sourceformat.h"
#include "core/fileio.h"
#include "core/inifile.h"
#include "core/platform.h"
#include "core/settings.h"
#include "cut/splitter.h"
#include "cutlist/cuewriter.h"
#include "cutlist/gridmodel.h"
#include "import/importer.h"
#include "sound/decoder.h"
#include "ui/actiontags.h"
#include "ui/cuefilechoice.h"
#include "ui/cutgrid.h"
#include "ui/cutpage.h"
#include "ui/dialogs/aboutbox.h"
#include "ui/dialogs/settingsdialog.h"
#include "ui/filebrowser.h"
#include "ui/pages/joinpage.h"
#include "ui/qtext.h"
#include "ui/soundpanel.h"
#include "ui/statisticsoptions.h"
#include "ui/statisticswindow.h"
#include "ui/statuspanel.h"
#include "ui/tagpanel.h"
#include "ui/wavestrip.h"
#include "ui/windowrules.h"

namespace zembrio {

namespace {

constexpr int kDesignWidth = 760;
constexpr int kDesignHeight = 600;
constexpr int kFileBoxesHeight = 132;
constexpr int kSplitterHandle = 5;
constexpr int kCutPageIndex = 0;
constexpr int kListMinimumHeight = 40;
// How long after the first showing a frame added by the window manager still corrects the
// restored size.
constexpr int kFrameWaitMs = 2000;
constexpr const char* kNoFragmentText =
    "Aucun fragment à écrire : donnez un nom à au moins un point de coupe.";

bool HasNamedPoint(const TCPList& list) {
  for (int index = 0; index < list.Count(); ++index) {
    if (!list[index].IsNew && !list[index].IsSkipped())
      return true;
  }
  return false;
}

// The font's character height in pixels, which the grid's row height is measured from:
// a font given in points is converted at the screen's resolution.
int FontPixelSize(const QFont& font, int dpi) {
  if (font.pixelSize() > 0)
    return font.pixelSize();
  return static_cast<int>(std::lround(font.pointSizeF() * dpi / 72.0));
}

// The import dialog's entries, in reader order (CUE sheet, XMCD, plain text).
const QStringList& ImportFilters() {
  static const QStringList filters = {"CUE Sheet (*.cue)", "XMCD File (*.xmcd; *.txt)",
                                      "Plain Text (*.*)"};
  return filters;
}

// The patterns that each entry stands for on Linux: "*.*" means every file, and the
// separator ";" is no part of a pattern.
void ApplyImportPatterns(QFileDialog& dialog, int entry) {
  static const QList<QStringList> patterns = {{"*.cue"}, {"*.xmcd", "*.txt"}, {"*"}};
  if (auto* model = dialog.findChild<QFileSystemModel*>(); model && entry >= 0)
    model->setNameFilters(patterns.value(entry, {"*"}));
}

}  // namespace

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmMain");
  setWindowTitle(kApplicationTitle);
  BuildActions();
  BuildLayout();
  resize(kDesignWidth, kDesignHeight);
  setAcceptDrops(true);
}

TfrmMain::~TfrmMain() {
  SetWaitCursor(false);
  cutPage_->SetList(nullptr);
}

void TfrmMain::SetDialogs(const TMainWindowDialogs& dialogs) {
  dialogs_ = dialogs;
  overwriteWarning_ = dialogs.OverwriteWarning;
}

TCutGrid* TfrmMain::Grid() const {
  return cutPage_->Grid();
}

void TfrmMain::BuildActions() {
  aCut_ = MakeAction(this, "ACut", "Couper maintenant!");
  aJoin_ = MakeAction(this, "AJoin", "Joindre maintenant!");
  aStatistics_ = MakeAction(this, "AStatistics", "Statistiques...");
  aAbort_ = MakeAction(this, "AAbort", "Abandonner!", 1);
  aSettings_ = MakeAction(this, "ASettings", "Réglages");
  aAbout_ = MakeAction(this, "AAbout", "A propos");
  aExit_ = MakeAction(this, "AExit", "Quitter");
  // Only one of cut and join shows at a time, and a hidden action takes no key.
  SetActionKeys(aCut_, {Qt::Key_F9});
  SetActionKeys(aJoin_, {Qt::Key_F9});
  SetActionKeys(aStatistics_, {Qt::CTRL | Qt::Key_I});
  SetActionKeys(aAbort_, {Qt::Key_Escape});
  SetActionKeys(aSettings_, {Qt::CTRL | Qt::Key_Comma});
  SetActionKeys(aAbout_, {Qt::Key_F1});
  SetActionKeys(aExit_, {Qt::CTRL | Qt::Key_Q});
  connect(aCut_, &QAction::triggered, this, [this] { RunOperation([this] { Cut(); }); });
  connect(aJoin_, &QAction::triggered, this, [this] { RunOperation([this] { Join(); }); });
  connect(aStatistics_, &QAction::triggered, this,
          [this] { RunOperation([this] { Statistics(); }); });
  connect(aAbort_, &QAction::triggered, this, [this] { state_.AbortRequested = true; });
  connect(aSettings_, &QAction::triggered, this, &TfrmMain::OpenSettings);
  connect(aAbout_, &QAction::triggered, this, [this] { ShowAboutBox(this); });
  connect(aExit_, &QAction::triggered, this, &QWidget::close);
}

QWidget* TfrmMain::BuildMainToolbar() {
  auto* rows = new QWidget(this);
  rows->setObjectName("ToolBarMain");
  auto* row1 = new QToolBar(rows);
  row1->setToolButtonStyle(Qt::ToolButtonTextOnly);
  row1->addAction(aCut_);
  row1->addAction(aJoin_);
  row1->addAction(aStatistics_);
  row1->addAction(aAbort_);
  auto* row2 = new QToolBar(rows);
  row2->setToolButtonStyle(Qt::ToolButtonTextOnly);
  row2->addAction(aSettings_);
  row2->addSeparator();
  row2->addAction(aAbout_);
  row2->addSeparator();
  row2->addAction(aExit_);
  auto* layout = new QVBoxLayout(rows);
  layout->setContentsMargins(2, 0, 2, 0);
  layout->setSpacing(0);
  layout->addWidget(row1);
  layout->addWidget(row2);
  return rows;
}

void TfrmMain::BuildLayout() {
  browser_ = new TFileBrowser(this);
  cutPage_ = new TCutPage(this);
  cutPage_->SetRunState(&state_);
  cutPage_->Grid()->SetFeedback(this);
  joinPage_ = new TJoinPage(*browser_, this);
  joinPage_->setObjectName("PgJoin");

  pages_ = new QTabWidget(this);
  pages_->setObjectName("PageControl1");
  pages_->addTab(cutPage_, "Points de coupe");
  pages_->addTab(joinPage_, "Fichiers à joindre");

  auto* lower = new QWidget(this);
  auto* lowerLayout = new QVBoxLayout(lower);
  lowerLayout->setContentsMargins(0, 0, 0, 0);
  lowerLayout->setSpacing(2);
  lowerLayout->addWidget(BuildMainToolbar());
  lowerLayout->addWidget(pages_, 1);

  splitter_ = new QSplitter(Qt::Vertical, this);
  splitter_->setHandleWidth(kSplitterHandle);
  splitter_->setOpaqueResize(true);
  splitter_->setChildrenCollapsible(false);
  splitter_->addWidget(browser_);
  splitter_->addWidget(lower);
  splitter_->setStretchFactor(0, 0);
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({kFileBoxesHeight, kDesignHeight - kFileBoxesHeight});
  // A list asks for room for its scroll bars at least; a row or two is enough, so that a
  // file-box strip saved tall comes back as tall at the design size. A header is no list:
  // it keeps its own height.
  for (QAbstractItemView* view : pages_->findChildren<QAbstractItemView*>()) {
    if (!qobject_cast<QHeaderView*>(view))
      view->setMinimumHeight(kListMinimumHeight);
  }
  setCentralWidget(splitter_);

  statusBar_ = new TMainStatusBar(this);
  setStatusBar(statusBar_);

  SetTabOrder();

  connect(pages_, &QTabWidget::currentChanged, this, &TfrmMain::SwitchPage);
  connect(browser_, &TFileBrowser::FileSelected, this, &TfrmMain::UpdateCutDestination);
  connect(browser_, &TFileBrowser::FileSelected, cutPage_->Sound(), &TSoundPanel::ShowSource);
  // The strip shows only the file that a cut would read.
  connect(browser_, &TFileBrowser::SelectedFileReplaced, cutPage_->Sound(),
          &TSoundPanel::ShowSource);
  connect(cutPage_->Sound(), &TSoundPanel::StatusMessage, this,
          [this](const QString& text) { ShowInfoText(ToStd(text)); });
  connect(browser_, &TFileBrowser::FileDoubleClicked, this, &TfrmMain::OnFileDoubleClicked);
  connect(cutPage_->ACLoadCue(), &QAction::triggered, this, &TfrmMain::ImportFromFile);
  connect(cutPage_->ACSetCutDir(), &QAction::triggered, this, &TfrmMain::ChooseCutDestination);
  connect(cutPage_->ACSaveList(), &QAction::triggered, this, &TfrmMain::SaveListAsCue);
}

// Tab goes from the folder tree to the file list, the strip, the grid and the tags, in the
// order the eye reads them; the destination comes last.
void TfrmMain::SetTabOrder() {
  QList<QWidget*> chain = {browser_->DirectoryListBox1(), browser_->FileListBox1(),
                           cutPage_->Strip(), cutPage_->Grid()};
  for (QLineEdit* field : cutPage_->TagPanel()->findChildren<QLineEdit*>())
    chain.append(field);
  chain.append(cutPage_->EditCutDir());
  for (qsizetype index = 1; index < chain.size(); ++index)
    setTabOrder(chain[index - 1], chain[index]);
}

// --- Start and closing ---------------------------------------------------------------

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!started_) {
    started_ = true;
    RunStartSequence();
  }
}

void TfrmMain::RunStartSequence() {
  list_ = std::make_unique<TCPList>();
  cutPage_->SetList(list_.get());
  setWindowTitle(kMainCaption);
  cutPage_->Grid()->SetRowHeight(GridRowHeight(FontPixelSize(font(), logicalDpiY())));
  LoadSettingsFrom(SettingsReadPath(iniFiles_.value_or(DefaultSettingsFiles())));
  ShowReady();
  RestoreLastFolder();
  RestoreGeometry();
  const int strip = Settings().WNDSPLITTER;
  if (strip > 0 && strip < frameGeometry().height())
    splitter_->setSizes({strip, std::max(1, splitter_->height() - strip)});
  if (Settings().WNDMAXIMIZED)
    setWindowState(windowState() | Qt::WindowMaximized);
  SetIdle(true);
  SwitchPage();
  cutPage_->Grid()->ResetColumnCaptions(false);
  cutPage_->Grid()->RefreshGrid();
  if (!pendingFile_.isEmpty())
    OpenFile(std::exchange(pendingFile_, QString()));
}

void TfrmMain::OpenFile(const QString& path) {
  if (!started_) {
    pendingFile_ = path;
    return;
  }
  const QFileInfo file(path);
  if (!file.isFile() || !State().Idle)
    return;
  browser_->SetFolder(file.absolutePath());
  if (browser_->SelectFile(file.fileName()))
    OnFileDoubleClicked(file.absoluteFilePath());
}

// One local file from the file manager is opened as if handed over at start.
void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() == 1 && urls.constFirst().isLocalFile() && State().Idle)
    event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() != 1 || !urls.constFirst().isLocalFile())
    return;
  event->acceptProposedAction();
  OpenFile(urls.constFirst().toLocalFile());
}

void TfrmMain::RestoreLastFolder() {
  TSettings& settings = Settings();
  settings.LASTDIR = NormalizedLastDir(settings.LASTDIR);
  const std::string folder = DeepestExistingFolder(settings.LASTDIR);
  if (!folder.empty())
    browser_->SetFolder(ToQ(folder));
}

void TfrmMain::RestoreGeometry() {
  const TSettings& settings = Settings();
  const TRect saved{settings.WNDLEFT, settings.WNDTOP, settings.WNDWIDTH, settings.WNDHEIGTH};
  const QRect desktop = screen()->virtualGeometry();
  if (!SavedGeometryFits({desktop.x(), desktop.y(), desktop.width(), desktop.height()}, saved))
    return;
  const QScreen* target =
      QGuiApplication::screenAt(QPoint(saved.Left + saved.Width / 2, saved.Top + saved.Height / 2));
  const QRect available = (target ? target : screen())->availableGeometry();
  savedOuter_ =
      FittedGeometry({available.x(), available.y(), available.width(), available.height()}, saved);
  ApplySavedGeometry();
  // The window manager adds its frame only once the window is on screen: the client size
  // is set again when the frame becomes known, so the window keeps its outer size.
  QTimer::singleShot(kFrameWaitMs, this, [this] { savedOuter_.reset(); });
}

void TfrmMain::ApplySavedGeometry() {
  if (!savedOuter_)
    return;
  const QMargins frame(
      geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
      frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
  appliedFrame_ = frame;
  const TRect& outer = *savedOuter_;
  // The saved bounds are the outer ones: the client area is what the frame leaves.
  setGeometry(outer.Left + frame.left(), outer.Top + frame.top(),
              std::max(1, outer.Width - frame.left() - frame.right()),
              std::max(1, outer.Height - frame.top() - frame.bottom()));
}

bool TfrmMain::event(QEvent* event) {
  const bool handled = QMainWindow::event(event);
  if (savedOuter_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
    const QMargins frame(geometry().left() - frameGeometry().left(),
                         geometry().top() - frameGeometry().top(),
                         frameGeometry().right() - geometry().right(),
                         frameGeometry().bottom() - geometry().bottom());
    if (frame != appliedFrame_)
      ApplySavedGeometry();
  }
  return handled;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (runningOperations_ > 0) {
    // The running operation still uses the cut list and its output file: ask it to stop
    // and close once it has ended.
    state_.AbortRequested = true;
    closePending_ = true;
    event->ignore();
    return;
  }
  if (!closed_) {
    closed_ = true;
    SaveWindowState();
  }
  QMainWindow::closeEvent(event);
}

void TfrmMain::SaveWindowState() {
  TSettings& settings = Settings();
  settings.LASTDIR = ToStd(browser_->CurrentFolder());
  const bool maximized = isMaximized();
  if (!maximized) {
    const QRect outer = frameGeometry();
    settings.WNDLEFT = outer.x();
    settings.WNDTOP = outer.y();
    settings.WNDWIDTH = outer.width();
    settings.WNDHEIGTH = outer.height();
  }
  settings.WNDMAXIMIZED = maximized;
  settings.WNDSPLITTER = browser_->height();
  SaveSettingsIn(iniFiles_.value_or(DefaultSettingsFiles()), false);
  cutPage_->SetList(nullptr);
  list_.reset();
}

// --- Pages and browser ---------------------------------------------------------------

void TfrmMain::SwitchPage() {
  const bool cutPage = pages_->currentIndex() == kCutPageIndex;
  browser_->SetMultiSelect(!cutPage);
  aCut_->setVisible(cutPage);
  aJoin_->setVisible(!cutPage);
}

void TfrmMain::UpdateCutDestination(const QString& path) {
  (void)path;
  if (pages_->currentIndex() == kCutPageIndex) {
    cutPage_->EditCutDir()->setText(
        ToQ(CutDestinationFor(ToStd(browser_->CurrentFolder()), Settings().CUTDIR)));
  }
  ShowInfoText({});
  cutPage_->Grid()->ResetColumnCaptions(true);
  joinPage_->ResetJoinStatuses();
}

void TfrmMain::OnFileDoubleClicked(const QString& path) {
  if (!list_)
    return;
  if (pages_->currentIndex() != kCutPageIndex) {
    if (!browser_->SelectedFile().isEmpty())
      joinPage_->AddFocusedFile();
    return;
  }
  const std::string source = ToStd(path);
  if (TTrackListFile beside = TrackListBesideSource(source); beside.Type != 0) {
    LoadTrackList({path, std::move(beside.Path), beside.Type, {}});
    return;
  }
  // No list beside it; a FLAC image may hold its own (in UTF-8: nothing to read again).
  loadedList_.reset();
  try {
    LoadTrackListBesideSource(*list_, *this, source);
  } catch (const std::exception& error) {
    ReportError(error.what());
  }
  cutPage_->Grid()->RefreshGrid();
}

void TfrmMain::LoadTrackList(TLoadedList list) {
  loadedList_ = list;
  bool complete = true;
  try {
    complete =
        ImportTrackList(*list_, *this, list.Path, list.Type, ToStd(list.Source), list.CueFile);
  } catch (const std::exception& error) {
    ReportError(error.what());
  }
  cutPage_->Grid()->RefreshGrid();
  if (!complete && list.Type == tlCue && list.CueFile.empty())
    ChooseCueFile(std::move(list));
}

void TfrmMain::ChooseCueFile(TLoadedList list) {
  std::vector<TCueFile> files;
  try {
    files = ReadCueSheetFiles(list.Path, Settings().LISTCODEPAGE);
  } catch (const std::exception& error) {
    ReportError(error.what());
    return;
  }
  if (files.size() < 2)
    return;
  TfrmCueFileChoice dialog(ToQ(ExtractFileName(list.Path)), files, this);
  if (dialog.exec() != QDialog::Accepted || dialog.ChosenNumber() == 0)
    return;
  list.CueFile = std::to_string(dialog.ChosenNumber());
  LoadTrackList(std::move(list));
}

void TfrmMain::RereadTrackList() {
  if (list_ && loadedList_ && loadedList_->Source == browser_->SelectedFile() &&
      FileExists(loadedList_->Path))
    LoadTrackList(*loadedList_);
}

void TfrmMain::ChooseCutDestination() {
  QFileDialog dialog(this, "Destination", cutPage_->EditCutDir()->text());
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return;
  cutPage_->EditCutDir()->setText(
      ToQ(WithTrailingDelimiter(ToStd(dialog.selectedFiles().constFirst()))));
}

void TfrmMain::ImportFromFile() {
  if (!list_)
    return;
  QFileDialog dialog(this, "Importer d'un fichier...", browser_->CurrentFolder());
  dialog.setFileMode(QFileDialog::ExistingFile);
  // The entries' texts are shown as they are and matched by their Linux patterns, which
  // only Qt's own dialog lets us set.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setNameFilters(ImportFilters());
  const int preset = std::clamp(Settings().IMPIDX, 1, static_cast<int>(ImportFilters().size()));
  dialog.selectNameFilter(ImportFilters().at(preset - 1));
  ApplyImportPatterns(dialog, preset - 1);
  connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
    ApplyImportPatterns(dialog, static_cast<int>(ImportFilters().indexOf(filter)));
  });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return;
  // The reader follows the filter entry chosen, not the file's extension.
  Settings().IMPIDX =
      static_cast<int32_t>(ImportFilters().indexOf(dialog.selectedNameFilter())) + 1;
  LoadTrackList({browser_->SelectedFile(),
                 ToStd(dialog.selectedFiles().constFirst()),
                 Settings().IMPIDX,
                 {}});
}

void TfrmMain::SaveListAsCue() {
  if (!list_)
    return;
  const QString source = browser_->SelectedFile();
  const QString folder = browser_->CurrentFolder();
  const QString suggested = source.isEmpty() ? folder
                                             : QFileInfo(source).path() + "/" +
                                                   QFileInfo(source).completeBaseName() + ".cue";
  QFileDialog dialog(this, "Enregistrer la liste", suggested, "Feuille CUE (*.cue)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("cue");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return;
  SaveListTo(ToStd(dialog.selectedFiles().constFirst()));
}

bool TfrmMain::SaveListTo(const std::string& path) {
  if (!list_)
    return false;
  list_->SortByTime();
  try {
    const std::string source = ToStd(browser_->SelectedFile());
    WriteCueSheet(*list_, source, IsMpegSource(source), path);
  } catch (const std::exception& error) {
    ReportError(error.what());
    return false;
  }
  ShowInfoText("Liste enregistrée : " + path);
  return true;
}

// --- Operations ------------------------------------------------------------------------

void TfrmMain::RunOperation(const std::function<void()>& work) {
  if (!list_)
    return;
  ++runningOperations_;
  try {
    work();
  } catch (const std::exception& error) {
    ReportError(error.what());
  }
  --runningOperations_;
  if (closePending_ && runningOperations_ == 0)
    QTimer::singleShot(0, this, &QWidget::close);
}

void TfrmMain::Cut() {
  // The walk takes the cut points in list order: a list imported out of order is put in
  // time order first, as the grid shows it after any selection.
  list_->SortByTime();
  cutPage_->Grid()->RefreshGrid();
  const bool batch =
      shiftHeld_ ? shiftHeld_() : QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
  // Without a name the walk would write nothing and end on an empty report.
  const QString source = browser_->SelectedFile();
  if (!source.isEmpty() && QFileInfo(source).isFile() && list_->Count() >= 2 &&
      !HasNamedPoint(*list_)) {
    ShowMessage(kNoFragmentText);
    return;
  }
  CutSource(context_, *list_, ToStd(browser_->SelectedFile()),
            ToStd(cutPage_->EditCutDir()->text()), batch);
  cutPage_->Grid()->RefreshGrid();
}

void TfrmMain::Join() {
  joinPage_->JoinNow(context_, ToStd(browser_->SelectedFile()));
}

void TfrmMain::Statistics() {
  const std::string source = ToStd(browser_->SelectedFile());
  TStatsJob job;
  job.SourcePath = source;
  const TSourceFormat* format = SourceFormatOf(source);
  if (format != nullptr && format->HasStatisticsDetail()) {
    if (!dialogs_.StatistSet || !dialogs_.StatistSet->Ask(ToQ(source + ".txt")))
      return;
    job.Detail = dialogs_.StatistSet->Detail();
    job.DetailPath = ToStd(dialogs_.StatistSet->DetailFileName());
  }
  SourceStatistics(context_, *list_, job);
}

void TfrmMain::OpenSettings() {
  if (!dialogs_.Settings)
    return;
  if (iniFiles_)
    dialogs_.Settings->SetIniFiles(*iniFiles_);
  const int32_t codePage = Settings().LISTCODEPAGE;
  switch (dialogs_.Settings->Execute()) {
    case TfrmSettings::SettingsSaved:
      ShowInfoText("Réglages sauvés");
      cutPage_->Grid()->RefreshGrid();
      break;
    case TfrmSettings::SettingsApplied:
      cutPage_->Grid()->RefreshGrid();
      break;
    case TfrmSettings::SettingsCancelled:
      break;
  }
  // The user sees the names of the list in the code page just chosen.
  if (Settings().LISTCODEPAGE != codePage)
    RereadTrackList();
}

// --- Run feedback ------------------------------------------------------------------------

void TfrmMain::SetIdle(bool idle) {
  state_.Idle = idle;
  cutPage_->Grid()->setEnabled(idle);
  joinPage_->SetBusy(!idle);
  pages_->setEnabled(idle);
  browser_->SetListsEnabled(idle);
  QList<QAction*> actions = findChildren<QAction*>(Qt::FindDirectChildrenOnly);
  actions += cutPage_->findChildren<QAction*>(Qt::FindDirectChildrenOnly);
  actions += joinPage_->Actions();
  for (QAction* action : actions)
    action->setEnabled(ActionTag(action) == 1 ? !idle : idle);
  cutPage_->UpdateGridActions();
  ProcessPendingEvents();
}

void TfrmMain::ShowReady() {
  statusBar_->SetProgressPosition(0);
  ShowStateText("Prêt");
  ShowInfoText({});
  setWindowTitle(kMainCaption);
}

void TfrmMain::SetProgress(double fraction) {
  statusBar_->SetProgressPosition(ProgressBarPosition(fraction));
  // On a Linux desktop the window title is what the taskbar shows.
  setWindowTitle(ToQ(ProgressTitle(fraction)));
}

void TfrmMain::ShowStateText(const std::string& text) {
  statusBar_->SetStateText(ToQ(text));
}

void TfrmMain::ShowInfoText(const std::string& text) {
  statusBar_->SetInfoText(ToQ(text));
}

void TfrmMain::ProcessPendingEvents() {
  QCoreApplication::processEvents();
}

void TfrmMain::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::Information, kApplicationTitle, ToQ(text), QMessageBox::Ok, this);
  box.exec();
}

void TfrmMain::ReportError(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, kApplicationTitle, ToQ(ReportErrorText(text)),
                  QMessageBox::Ok, this);
  box.exec();
}

void TfrmMain::SetWaitCursor(bool on) {
  if (on == waitCursor_)
    return;
  waitCursor_ = on;
  if (on)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void TfrmMain::SetRowStatus(int row, const std::string& status) {
  cutPage_->Grid()->SetRowStatus(row, ToQ(status));
}

void TfrmMain::ClearRowStatuses() {
  cutPage_->Grid()->ResetColumnCaptions(true);
}

void TfrmMain::SelectRow(int row) {
  cutPage_->Grid()->SelectRowQuietly(row);
}

void TfrmMain::RefreshGrid() {
  cutPage_->Grid()->RefreshGrid();
}

void TfrmMain::ShowReport(const std::vector<std::string>& lines) {
  if (!dialogs_.Statistics)
    return;
  dialogs_.Statistics->SetLines(lines);
  dialogs_.Statistics->exec();
}

}  // namespace zembrio
