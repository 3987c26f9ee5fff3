#include "ui/cutpage.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <memory>

#include "core/settings.h"
#include "cut/runfeedback.h"
#include "cutlist/cutlisthistory.h"
#include "cutlist/cutpoint.h"
#include "cutlist/gridmodel.h"
#include "sound/proposals.h"
#include "ui/actiontags.h"
#include "ui/cutgrid.h"
#include "ui/soundpanel.h"
#include "ui/tagpanel.h"
#include "ui/wavestrip.h"

namespace zembrio {

namespace {

// Snapping looks at the half second around the point.
constexpr int64_t kSnapRadiusMs = 250;

}  // namespace

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
      acSaveList_(MakeAction(this, "ACSaveList", "Enregistrer la liste...")),
      acSetCutDir_(MakeAction(this, "ACSetCutDir", "...")),
      acTags_(MakeAction(this, "ACTags", "Étiquettes")),
      acUndo_(MakeAction(this, "ACUndo", "Annuler")),
      acRedo_(MakeAction(this, "ACRedo", "Rétablir")) {
  setObjectName("PgCut");
  editCutDir_->setObjectName("EditCutDir");

  AssignActionKeys();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 4);
  layout->setSpacing(4);
  layout->addWidget(MakeToolBar());
  layout->addLayout(MakeDestinationRow());
  // The grid takes a little more of the height: with the tags open at the design size the
  // strip keeps some 80 px and the grid five rows.
  layout->addWidget(sound_, 4);
  layout->addWidget(grid_, 5);
  layout->addWidget(tagPanel_);

  ConnectActions();
  ConnectStrip();
}

void TCutPage::AssignActionKeys() {
  SetActionKeys(acUndo_, {Qt::CTRL | Qt::Key_Z}, "Annuler la dernière modification de la liste");
  SetActionKeys(acRedo_, {Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::SHIFT | Qt::Key_Z},
                "Rétablir la modification annulée");
  SetActionKeys(acAdd_, {Qt::CTRL | Qt::Key_N},
                "Ajouter un point de coupe (au curseur depuis la forme d'onde)");
  SetActionKeys(acDelete_, {Qt::CTRL | Qt::Key_Delete}, "Retirer le point de coupe choisi");
  SetActionKeys(acJoinPrew_, {Qt::CTRL | Qt::SHIFT | Qt::Key_Up});
  SetActionKeys(acJoinNext_, {Qt::CTRL | Qt::SHIFT | Qt::Key_Down});
  SetActionKeys(acClearList_, {Qt::CTRL | Qt::SHIFT | Qt::Key_Delete});
  SetActionKeys(acLoadCue_, {Qt::CTRL | Qt::Key_O});
  SetActionKeys(acSaveList_, {Qt::CTRL | Qt::Key_S}, "Enregistrer la liste en feuille CUE");
  SetActionKeys(acTags_, {Qt::CTRL | Qt::Key_T});
  SetActionKeys(acSetCutDir_, {Qt::CTRL | Qt::SHIFT | Qt::Key_O}, "Choisir la destination");
}

QToolBar* TCutPage::MakeToolBar() {
  auto* toolbar = new QToolBar(this);
  toolbar->setObjectName("ToolBarCut");
  toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  // Every action fits at the design width, so a first-time user finds the import without
  // opening the toolbar's overflow menu.
  toolbar->layout()->setSpacing(0);
  toolbar->layout()->setContentsMargins(0, 0, 0, 0);
  toolbar->setMovable(false);
  toolbar->setStyleSheet("QToolButton { padding: 1px 0px; } QToolBar::separator { width: 4px; }");
  // Drawn as arrows, as editors show them: the toolbar keeps room for every action.
  acUndo_->setIconText("↶");
  acRedo_->setIconText("↷");
  toolbar->addAction(acUndo_);
  toolbar->addAction(acRedo_);
  toolbar->addSeparator();
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
  return toolbar;
}

QHBoxLayout* TCutPage::MakeDestinationRow() {
  auto* browse = new QToolButton(this);
  browse->setDefaultAction(acSetCutDir_);
  auto* destination = new QHBoxLayout;
  destination->addWidget(new QLabel("Destination:", this));
  destination->addWidget(editCutDir_, 1);
  destination->addWidget(browse);
  // The toolbar has no room left at the design width: saving the list sits at the end of
  // this row.
  auto* save = new QToolButton(this);
  save->setObjectName("BtnSaveList");
  save->setDefaultAction(acSaveList_);
  destination->addSpacing(8);
  destination->addWidget(save);
  return destination;
}

void TCutPage::ConnectActions() {
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
  connect(tagPanel_, &TTagPanel::TagsEdited, this, &TCutPage::RecordChange);
  connect(acUndo_, &QAction::triggered, this, &TCutPage::Undo);
  connect(acRedo_, &QAction::triggered, this, &TCutPage::Redo);
}

void TCutPage::ConnectStrip() {
  connect(strip_, &TWaveStrip::MarkerDragged, grid_,
          [this](int row, qint64 ms) { grid_->SetStartTime(row, ms); });
  connect(strip_, &TWaveStrip::MarkerReleased, this, [this](int row) {
    if (SnapsToQuiet())
      SnapRowToQuiet(row);
  });
  connect(strip_, &TWaveStrip::MarkerDropped, this, &TCutPage::RecordChange);
  connect(strip_, &TWaveStrip::RowReached, grid_, &TCutGrid::SelectRow);
  connect(strip_, &TWaveStrip::InsertRequested, this, &TCutPage::AddPointAtCursor);
  connect(strip_, &TWaveStrip::DeleteRequested, this, [this] {
    if (strip_->SelectedRow() > 1 && acDelete_->isEnabled())
      DeleteCutPoint();
  });
  connect(strip_, &TWaveStrip::SnapRequested, this, &TCutPage::SnapSelectedToQuiet);
}

void TCutPage::SetList(TCPList* list) {
  list_ = list;
  if (list) {
    // The grid adds the zero point at its first showing; that is no step of the user's.
    EnsureZeroPoint(*list);
    history_.Reset(*list);
  }
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
  // Every change of the list or of the selection passes here: the strip redraws with it,
  // and the history takes the change.
  strip_->SetSelectedRow(grid_->SelectedRow());
  sound_->UpdateReadouts();
  RecordChange();
}

int TCutPage::SnapSelectedToQuiet() {
  return SnapRowToQuiet(strip_->SelectedRow());
}

int TCutPage::SnapRowToQuiet(int row) {
  const TCutPoint* point = list_ ? list_->Item(row - 1) : nullptr;
  if (!point || point->IsNew || row < 2)
    return 0;
  const int64_t at = PositionAt(*point, 1000);
  const int64_t quiet = QuietNear(at);
  return quiet == at ? row : grid_->SetStartTime(row, quiet);
}

// The zero point stays alone at 0 s: a quiet start pulls no other point onto it.
int64_t TCutPage::QuietNear(int64_t ms) const {
  return std::max<int64_t>(1, QuietestMsNear(strip_->Levels(), ms, kSnapRadiusMs));
}

bool TCutPage::SnapsToQuiet() {
  return Settings().SNAPQUIET == 1;
}

bool TCutPage::IsIdle() const {
  return state_ && state_->Idle;
}

void TCutPage::RecordChange() {
  if (!list_ || strip_->Dragging())
    return;
  // A cut sorts the list and writes its reports, a pause search may run: none of that is
  // the user's change.
  if (IsIdle())
    history_.Record(*list_);
  else
    history_.Resync(*list_);
  acUndo_->setEnabled(IsIdle() && history_.CanUndo());
  acRedo_->setEnabled(IsIdle() && history_.CanRedo());
}

void TCutPage::Undo() {
  if (list_ && IsIdle())
    ShowHistoryStep(history_.Undo(*list_));
}

void TCutPage::Redo() {
  if (list_ && IsIdle())
    ShowHistoryStep(history_.Redo(*list_));
}

void TCutPage::ShowHistoryStep(bool stepped) {
  if (stepped) {
    const int row = std::clamp(grid_->SelectedRow(), 1, std::max(1, list_->Count()));
    grid_->RefreshGrid();
    grid_->SelectRowQuietly(row);
    tagPanel_->Reload();
  }
  RecordChange();
}

int TCutPage::SelectedIndex() const {
  return grid_->SelectedRow() - 1;
}

void TCutPage::AddCutPoint() {
  if (!list_)
    return;
  if (strip_->hasFocus() && strip_->CursorMs() > 0) {
    AddPointAtCursor();
    return;
  }
  const int newRow = AddRowAfter(*list_, std::max(grid_->SelectedRow(), 1));
  grid_->RefreshGrid();
  grid_->SelectRow(newRow);
}

int TCutPage::AddPointAtCursor() {
  const int64_t cursor = strip_->CursorMs();
  if (!list_ || !IsIdle() || cursor <= 0)
    return 0;
  const int64_t ms = SnapsToQuiet() ? QuietNear(cursor) : cursor;
  if (ms / 1000 > INT32_MAX)
    return 0;
  list_->PurgeNew();
  EnsureZeroPoint(*list_);
  for (int index = 0; index < list_->Count(); ++index) {
    // A point already there is the one the user means.
    if (PositionAt((*list_)[index], 1000) == ms) {
      grid_->SelectRow(index + 1);
      return index + 1;
    }
  }
  // Taken as if typed, so that the time is held in the grid's unit; named as pause
  // detection names its points, so that the fragment is written.
  TTimeValue time;
  SetMilliseconds(time, static_cast<int32_t>(ms / 1000), static_cast<int32_t>(ms % 1000));
  auto added = std::make_unique<TCutPoint>();
  ApplyStartCellText(*added, FormatCutPoint(time));
  TCutPoint& point = list_->Add(std::move(added));
  list_->SortByTime();
  const int row = list_->IndexOf(&point) + 1;
  point.Name = ProposedName(row);
  grid_->RefreshGrid();
  grid_->SelectRow(row);
  return row;
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
