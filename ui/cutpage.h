// The page "Points de coupe": the grid's toolbar, the destination line, the waveform strip
// of the selected source, the grid and the tags of the cut.
#pragma once

#include <QWidget>

class QAction;
class QLineEdit;
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
  QAction* ACSetCutDir() const { return acSetCutDir_; }
  QAction* ACTags() const { return acTags_; }

 private:
  void AddCutPoint();
  void DeleteCutPoint();
  void LinkToPrevious();
  void LinkToNext();
  void ClearList();
  int SelectedIndex() const;

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
  QAction* acSetCutDir_;
  QAction* acTags_;
};

}  // namespace zembrio
