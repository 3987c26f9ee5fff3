// The page "Points de coupe": the grid's toolbar, the destination line, the waveform strip
// of the selected source, the grid and the tags of the cut.
#pragma once

#include <QWidget>
#include <cstdint>

#include "cutlist/cutlisthistory.h"

class QAction;
class QLineEdit;
class QHBoxLayout;
class QToolBar;

namespace zembrio {

class TCutGrid;
class TSoundPanel;
class TWaveStrip;
class TTagPanel;
class TCPList;
struct TRunState;

class TCutPage : public QWidget {
  Q_OBJECT

 public:
  explicit TCutPage(QWidget* parent = nullptr);

  void SetList(TCPList* list);
  void SetRunState(const TRunState* state);
  // Enables "Retirer" and the two links from the idle state and the selected row.
  void UpdateGridActions();

  TCutGrid* Grid() const { return grid_; }
  TSoundPanel* Sound() const { return sound_; }
  TWaveStrip* Strip() const;
  TTagPanel* TagPanel() const { return tagPanel_; }
  QLineEdit* EditCutDir() const { return editCutDir_; }
  QAction* ACLoadCue() const { return acLoadCue_; }
  QAction* ACSaveList() const { return acSaveList_; }
  QAction* ACSetCutDir() const { return acSetCutDir_; }
  QAction* ACTags() const { return acTags_; }
  QAction* ACUndo() const { return acUndo_; }
  QAction* ACRedo() const { return acRedo_; }

  // Takes the list's state as a step that can be undone, once it has settled after a
  // change; while an operation runs, its changes are taken without a step.
  void RecordChange();
  void Undo();
  void Redo();
  // Adds a cut point at the strip's cursor, named from the mask with its number; returns
  // its grid row (the row of a point already there; 0 when none can be added).
  int AddPointAtCursor();
  // Moves the selected cut point to the quietest 10 ms of the half second around it;
  // returns its grid row (0 when no point can move).
  int SnapSelectedToQuiet();
  // The same for the cut point of a grid row.
  int SnapRowToQuiet(int row);
  const TCutListHistory& History() const { return history_; }

 private:
  // The constructor's steps.
  void AssignActionKeys();
  QToolBar* MakeToolBar();
  QHBoxLayout* MakeDestinationRow();
  void ConnectActions();
  void ConnectStrip();

  void AddCutPoint();
  void DeleteCutPoint();
  void LinkToPrevious();
  void LinkToNext();
  void ClearList();
  int SelectedIndex() const;
  int64_t QuietNear(int64_t ms) const;
  // Whether points placed on the strip go to the quiet nearby by themselves.
  static bool SnapsToQuiet();
  void ShowHistoryStep(bool stepped);
  bool IsIdle() const;

  TCPList* list_ = nullptr;
  const TRunState* state_ = nullptr;
  TCutGrid* grid_;
  TSoundPanel* sound_;
  TWaveStrip* strip_;
  TTagPanel* tagPanel_;
  QLineEdit* editCutDir_;
  QAction* acAdd_;
  QAction* acDelete_;
  QAction* acJoinPrew_;
  QAction* acJoinNext_;
  QAction* acClearList_;
  QAction* acLoadCue_;
  QAction* acSaveList_;
  QAction* acSetCutDir_;
  QAction* acTags_;
  QAction* acUndo_;
  QAction* acRedo_;
  TCutListHistory history_;
};

}  // namespace zembrio
