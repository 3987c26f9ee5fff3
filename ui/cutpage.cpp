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
#include "ui/tagpanel.h"

namespace zembrio {

TCutPage::TCutPage(QWidget* parent)
    : QWidget(parent),
      grid_(new TCutGrid(this)),
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
  layout->setContentsMargins(4, 2, 4, 4);
  layout->setSpacing(4);
  layout->addWidget(toolbar);
  layout->addLayout(destination);
  layout->addWidget(grid_, 1);
  layout->addWidget(tagPanel_);

  connect(acAdd_, &QAction::triggered, this, &TCutPage::AddCutPoint);
  connect(acDelete_, &QAction::triggered, this, &TCutPage::DeleteCutPoint);
  connect(acJoinPrew_, &QAction::triggered, this, &TCutPage::LinkToPrevious);
  connect(acJoinNext_, &QAction::triggered, this, &TCutPage::LinkToNext);
  connect(acClearList_, &QAction::triggered, this, &TCutPage::ClearList);
  connect(grid_, &TCutGrid::GridActionsChanged, this, &TCutPage::UpdateGridActions);
  connect(grid_, &TCutGrid::AppendRowRequested, acAdd_, &QAction::trigger);
}

void TCutPage::SetList(TCPList* list) {
  list_ = list;
  grid_->SetList(list);
  tagPanel_->SetList(list);
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
}

int TCutPage::SelectedIndex() const {
  return grid_->SelectedRow() - 1;
}

void TCutPage::AddCutPoint() {
  if (!list_)
    return;
  const int newRow = AddRowAfter(*list_, std::max(grid_->SelectedRow(), 1));
  grid_->RefreshGrid();
  grid_->SelectRow(newRow);
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
