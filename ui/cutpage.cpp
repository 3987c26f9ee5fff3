#include "ui/cutpage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "cut/runfeedback.h"
#include "cutlist/cutpoint.h"
#include "cutlist/gridmodel.h"
#include "ui/actiontags.h"
#include "ui/cutgrid.h"
#include "ui/soundpanel.h"
#include "ui/tagpanel.h"
#include "ui/wavestrip.h"

namespace zembrio {

TCutPage::TCutPage(QWidget* parent)
    : QWidget(parent),
      grid_(new TCutGrid(this)),
      sound_(new TSoundPanel(this)),
      strip_(sound_->Strip()),
      tagPanel_(new TTagPanel(grid_, this)),
      editCutDir_(new QLineEdit(this)),
      acAdd_(MakeAction(this, "ACAdd", "Ajouter")),
      acDelete_(MakeAction(this, "ACDelete", "Retirer")),
      acJoinPrew_(MakeAction(this, "ACJoinPrew", "Lier au précédent")),
      acJoinNext_(MakeAction(this, "ACJoinNext", "Lier au suivant")),
      acClearList_(MakeAction(this, "ACClearList", "Effacer la liste")),
      acLoadCue_(MakeAction(this, "ACLoadCue", "Importer d'un fichier...")),
      acSetCutDir_(MakeAction(this, "ACSetCutDir", "...")),
      acTags_(MakeAction(this, "ACTags", "Étiquettes")) {
  setObjectName("PgCut");
  editCutDir_->setObjectName("EditCutDir");

  auto* toolbar = new QToolBar(this);
  toolbar->setObjectName("ToolBarCut");
  toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  // Every action fits at the design width, so a first-time user finds the import without
  // opening the toolbar's overflow menu.
  toolbar->layout()->setSpacing(0);
  toolbar->layout()->setContentsMargins(0, 0, 0, 0);
  toolbar->setMovable(false);
  toolbar->setStyleSheet("QToolButton { padding: 1px 0px; } QToolBar::separator { width: 4px; }");
  toolbar->addAction(acAdd_);
  toolbar->addAction(acDelete_);
  toolbar->addSeparator();
  toolbar->addAction(acJoinPrew_);
  toolbar->addAction(acJoinNext_);
  toolbar->addSeparator();
  toolbar->addAction(acClearList_);
  toolbar->addSeparator();
  toolbar->addAction(acLoadCue_);
  toolbar->addSeparator();
  toolbar->addAction(acTags_);
  // The tags take room from the grid: shown when the user asks for them.
  acTags_->setCheckable(true);
  tagPanel_->setVisible(false);
  connect(acTags_, &QAction::toggled, tagPanel_, &QWidget::setVisible);

  auto* browse = new QToolButton(this);
  browse->setDefaultAction(acSetCutDir_);
  auto* destination = new QHBoxLayout;
  destination->addWidget(new QLabel("Destination:", this));
  destination->addWidget(editCutDir_, 1);
  destination->addWidget(browse);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 4);
  layout->setSpacing(4);
  layout->addWidget(toolbar);
  layout->addLayout(destination);
  layout->addWidget(sound_, 1);
  layout->addWidget(grid_, 1);
  layout->addWidget(tagPanel_);

  connect(acAdd_, &QAction::triggered, this, &TCutPage::AddCutPoint);
  connect(acDelete_, &QAction::triggered, this, &TCutPage::DeleteCutPoint);
  connect(acJoinPrew_, &QAction::triggered, this, &TCutPage::LinkToPrevious);
  connect(acJoinNext_, &QAction::triggered, this, &TCutPage::LinkToNext);
  connect(acClearList_, &QAction::triggered, this, &TCutPage::ClearList);
  connect(grid_, &TCutGrid::GridActionsChanged, this, &TCutPage::UpdateGridActions);
  connect(grid_, &TCutGrid::AppendRowRequested, acAdd_, &QAction::trigger);
  connect(sound_, &TSoundPanel::ListReplaced, grid_, [this] {
    grid_->RefreshGrid();
    grid_->SelectRow(1);
  });
  connect(strip_, &TWaveStrip::MarkerDragged, grid_,
          [this](int row, qint64 ms) { grid_->SetStartTime(row, ms); });
}

void TCutPage::SetList(TCPList* list) {
  list_ = list;
  grid_->SetList(list);
  sound_->SetList(list);
  tagPanel_->SetList(list);
}

TWaveStrip* TCutPage::Strip() const {
  return strip_;
}

void TCutPage::SetRunState(const TRunState* state) {
  state_ = state;
  grid_->SetRunState(state);
  tagPanel_->SetRunState(state);
}

void TCutPage::UpdateGridActions() {
  const TGridActionStates states =
      GridActionStates(state_ && state_->Idle, grid_->SelectedRow(), grid_->rowCount() + 1);
  acDelete_->setEnabled(states.Delete);
  acJoinPrew_->setEnabled(states.LinkToPrevious);
  acJoinNext_->setEnabled(states.LinkToNext);
  // Every change of the list or of the selection passes here: the strip redraws with it.
  strip_->SetSelectedRow(grid_->SelectedRow());
}

int TCutPage::SelectedIndex() const {
  return grid_->SelectedRow() - 1;
}

void TCutPage::AddCutPoint() {
  if (!list_)
    return;
  const bool atCursor = strip_->hasFocus() && strip_->CursorMs() > 0;
  const int newRow = AddRowAfter(*list_, std::max(grid_->SelectedRow(), 1));
  grid_->RefreshGrid();
  grid_->SelectRow(newRow);
  if (atCursor)
    grid_->SetStartTime(newRow, strip_->CursorMs());
}

void TCutPage::DeleteCutPoint() {
  if (!list_ || !list_->Item(SelectedIndex()))
    return;
  list_->Delete(SelectedIndex());
  grid_->RefreshGrid();
}

void TCutPage::LinkToPrevious() {
  if (!list_ || !list_->Item(SelectedIndex()))
    return;
  const int row = grid_->SelectedRow();
  list_->LinkToPrevious(SelectedIndex());
  grid_->SelectRow(row - 1);
  grid_->RefreshGrid();
}

void TCutPage::LinkToNext() {
  if (!list_ || !list_->Item(SelectedIndex()))
    return;
  list_->LinkToNext(SelectedIndex());
  grid_->RefreshGrid();
}

void TCutPage::ClearList() {
  if (!list_)
    return;
  list_->Clear();
  grid_->RefreshGrid();
}

}  // namespace zembrio
