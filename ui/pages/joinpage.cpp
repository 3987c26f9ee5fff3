#include "ui/pages/joinpage.h"

#include <QAction>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>

#include "app/sourceformat.h"
#include "core/platform.h"
#include "core/settings.h"
#include "core/textutil.h"
#include "ui/pages/joinlistview.h"

namespace zembrio {

namespace {

std::string ToStd(const QString& text) {
  return text.toStdString();
}
QString ToQ(const std::string& text) {
  return QString::fromStdString(text);
}

// The name of the file to create when the first file joins an empty list: JOINNAME,
// relative to the browser folder unless absolute, with the extension of that file.
std::string DefaultJoinFileName(const std::string& folder, const std::string& fileName) {
  std::string name = Settings().JOINNAME;
  if (!IsAbsolutePath(name))
    name = ExpandFileName(folder + name);
  return ChangeFileExt(name, ExtractFileExt(fileName));
}

std::optional<QString> AskSaveName(QWidget* parent, const QString& current) {
  // The join asks itself before it replaces a file.
  const QString chosen = QFileDialog::getSaveFileName(parent, QString(), current, QString(),
                                                      nullptr, QFileDialog::DontConfirmOverwrite);
  if (chosen.isEmpty())
    return std::nullopt;
  return chosen;
}

}  // namespace

TJoinPage::TJoinPage(IJoinFileSource& files, QWidget* parent)
    : QWidget(parent), files_(files), model_(std::make_unique<TJoinListModel>(list_)) {
  chooseSaveName_ = [this](const QString& current) { return AskSaveName(this, current); };
  BuildActions();
  BuildLayout();
}

TJoinPage::~TJoinPage() {
  // The view goes with the widget tree; detach it from the model this page owns first.
  view_->setModel(nullptr);
}

void TJoinPage::BuildActions() {
  auto make = [this](const char* caption, void (TJoinPage::*handler)()) {
    auto* action = new QAction(QString::fromUtf8(caption), this);
    // A toolbar button shows the caption as it is: Qt would drop the "..." of its own.
    action->setIconText(action->text());
    action->setData(0);  // tag 0: disabled while an operation runs
    connect(action, &QAction::triggered, this, handler);
    return action;
  };
  AJAdd_ = make("Ajouter", &TJoinPage::AddSelectedFiles);
  AJDelete_ = make("Retirer", &TJoinPage::DeleteSelectedRows);
  AJAddAll_ = make("Ajouter tout", &TJoinPage::AddAllFiles);
  AJDeleteAll_ = make("Effacer la liste", &TJoinPage::DeleteAllRows);
  AJSetJoinFilename_ = make("...", &TJoinPage::ChooseJoinFileName);
  AJAdd_->setObjectName(QStringLiteral("AJAdd"));
  AJDelete_->setObjectName(QStringLiteral("AJDelete"));
  AJAddAll_->setObjectName(QStringLiteral("AJAddAll"));
  AJDeleteAll_->setObjectName(QStringLiteral("AJDeleteAll"));
  AJSetJoinFilename_->setObjectName(QStringLiteral("AJSetJoinFilename"));
}

void TJoinPage::BuildLayout() {
  auto* toolbar = new QToolBar(this);
  toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  toolbar->addActions({AJAdd_, AJDelete_});
  toolbar->addSeparator();
  toolbar->addActions({AJAddAll_, AJDeleteAll_});

  editJoinFileName_ = new QLineEdit(this);
  editJoinFileName_->setObjectName(QStringLiteral("EditJoinFileName"));
  auto* browse = new QToolButton(this);
  browse->setDefaultAction(AJSetJoinFilename_);
  auto* nameLine = new QHBoxLayout;
  nameLine->addWidget(new QLabel(QString::fromUtf8("Fichier créé:"), this));
  nameLine->addWidget(editJoinFileName_, 1);
  nameLine->addWidget(browse);

  view_ = new TJoinListView(*this, this);
  view_->setObjectName(QStringLiteral("LVJoin"));
  view_->setModel(model_.get());
  connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TJoinPage::TakeSelectionFromView);

  auto* layout = new QVBoxLayout(this);
  // The same margins as the cut page, so that switching pages does not shift the lines.
  layout->setContentsMargins(4, 2, 4, 4);
  layout->setSpacing(4);
  layout->addWidget(toolbar);
  layout->addLayout(nameLine);
  layout->addWidget(view_, 1);
}

QList<QAction*> TJoinPage::Actions() const {
  return {AJAdd_, AJDelete_, AJAddAll_, AJDeleteAll_, AJSetJoinFilename_};
}

void TJoinPage::SetBusy(bool busy) {
  view_->setEnabled(!busy);
  editJoinFileName_->setReadOnly(busy);
}

QWidget* TJoinPage::ListView() const {
  return view_;
}

QString TJoinPage::JoinFileName() const {
  return editJoinFileName_->text();
}

void TJoinPage::SetJoinFileName(const QString& name) {
  editJoinFileName_->setText(name);
}

std::optional<int> TJoinPage::AddJoinFile(int fileIndex, int position) {
  const QStringList names = files_.FileNames();
  if (fileIndex < 0 || fileIndex >= names.size())
    return std::nullopt;
  const std::string folder = WithTrailingDelimiter(ToStd(files_.CurrentFolder()));
  const std::string name = ToStd(names[fileIndex]);
  if (list_.empty()) {
    SetJoinFileName(ToQ(DefaultJoinFileName(folder, name)));
  } else {
    // The first row decides the extension of every file joined to it.
    const std::string firstExt = ExtractFileExt(list_.front().Name);
    if (!firstExt.empty() && !SameTextIgnoringCase(firstExt, ExtractFileExt(name)))
      return std::nullopt;
  }
  const int row = position < 0 || position > static_cast<int>(list_.size())
                      ? static_cast<int>(list_.size())
                      : position;
  TJoinItem item;
  item.Name = name;
  item.Folder = folder;
  InsertRow(row, item);
  return row;
}

void TJoinPage::AddFocusedFile() {
  const int focused = files_.FocusedIndex();
  if (focused >= 0)
    AddJoinFile(focused, -1);
}

void TJoinPage::AddSelectedFiles() {
  for (int index : files_.SelectedIndexes())
    AddJoinFile(index, -1);
}

void TJoinPage::AddAllFiles() {
  const qsizetype count = files_.FileNames().size();
  for (int index = 0; index < count; ++index)
    AddJoinFile(index, -1);
}

void TJoinPage::DeleteSelectedRows() {
  for (int row = static_cast<int>(list_.size()) - 1; row >= 0; --row)
    if (list_[static_cast<size_t>(row)].Selected)
      RemoveRow(row);
}

void TJoinPage::DeleteAllRows() {
  model_->BeginReset();
  list_.clear();
  model_->EndReset();
}

void TJoinPage::ChooseJoinFileName() {
  if (const std::optional<QString> chosen = chooseSaveName_(JoinFileName()))
    SetJoinFileName(*chosen);
}

void TJoinPage::ResetJoinStatuses() {
  zembrio::ResetJoinStatuses(list_);
  for (int row = 0; row < static_cast<int>(list_.size()); ++row)
    model_->RowTextsChanged(row);
}

TJoinOutcome TJoinPage::JoinNow(TRunContext& ctx, const std::string& highlightedSource) {
  ResetJoinStatuses();
  try {
    return JoinSources(ctx, list_, *this, ToStd(JoinFileName()), highlightedSource, false);
  } catch (const std::exception& error) {
    // The engine has run its closing steps; what is left is telling the user.
    ctx.Feedback.ReportError(error.what());
    return TJoinOutcome::Failed;
  }
}

void TJoinPage::RowChanged(int index) {
  if (index < 0 || index >= static_cast<int>(list_.size()))
    return;
  model_->RowTextsChanged(index);
  ShowSelectionInView();
  if (list_[static_cast<size_t>(index)].Selected)
    view_->scrollTo(model_->index(index, 0), QAbstractItemView::EnsureVisible);
}

bool TJoinPage::AcceptsDragFrom(const QObject* source) const {
  if (source == nullptr)
    return false;
  const QWidget* browser = files_.DragSource();
  const bool fromBrowser = browser != nullptr && (source == browser || source->parent() == browser);
  const bool fromList = source == view_ || source == view_->viewport();
  return fromBrowser || fromList;
}

void TJoinPage::DropOn(const QObject* source, const QPoint& point) {
  if (!AcceptsDragFrom(source))
    return;
  const QModelIndex under = view_->indexAt(point);
  const int target = under.isValid() ? under.row() : -1;
  if (source == view_ || source == view_->viewport())
    MoveSelectedRowsBefore(target);
  else
    AddBrowserFilesAt(target);
}

void TJoinPage::MoveSelectedRowsBefore(int target) {
  // The selected rows, in list order, land directly before the target row (or at the end).
  // When the target is itself selected, they land before the first unselected row after
  // it, so every row stays in the list exactly once.
  int anchor = target;
  while (anchor >= 0 && anchor < static_cast<int>(list_.size()) &&
         list_[static_cast<size_t>(anchor)].Selected)
    ++anchor;
  TJoinList before, moved, after;
  for (size_t i = 0; i < list_.size(); ++i) {
    TJoinItem item = list_[i];
    const bool selected = item.Selected;
    item.Selected = false;
    if (selected)
      moved.push_back(item);
    else if (anchor >= 0 && static_cast<int>(i) >= anchor)
      after.push_back(item);
    else
      before.push_back(item);
  }
  model_->BeginReset();
  list_ = before;
  list_.insert(list_.end(), moved.begin(), moved.end());
  list_.insert(list_.end(), after.begin(), after.end());
  model_->EndReset();
  ShowSelectionInView();
}

void TJoinPage::AddBrowserFilesAt(int target) {
  int position = target;
  for (int index : files_.SelectedIndexes()) {
    const std::optional<int> row = AddJoinFile(index, position);
    if (row && position >= 0)
      position = *row + 1;
  }
}

void TJoinPage::InsertRow(int position, const TJoinItem& item) {
  model_->BeginInsert(position);
  list_.insert(list_.begin() + position, item);
  model_->EndInsert();
}

void TJoinPage::RemoveRow(int index) {
  model_->BeginRemove(index);
  list_.erase(list_.begin() + index);
  model_->EndRemove();
}

void TJoinPage::TakeSelectionFromView() {
  if (syncingSelection_)
    return;
  const QItemSelectionModel* selection = view_->selectionModel();
  for (int row = 0; row < static_cast<int>(list_.size()); ++row)
    list_[static_cast<size_t>(row)].Selected = selection->isRowSelected(row, {});
}

void TJoinPage::ShowSelectionInView() {
  syncingSelection_ = true;
  QItemSelection selection;
  for (int row = 0; row < static_cast<int>(list_.size()); ++row)
    if (list_[static_cast<size_t>(row)].Selected)
      selection.select(model_->index(row, 0), model_->index(row, 2));
  view_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  syncingSelection_ = false;
}

}  // namespace zembrio
