// The sound of the cut page: the waveform strip of the selected source with its player and
// the actions that listen to it. It loads the envelope whenever another file is selected.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>

#include "format/sourcekind.h"

class QAction;
class QHBoxLayout;
class QLabel;
class QToolBar;

namespace zembrio {

class TCPList;
class TCutPlayer;
class TEnvelopeLoader;
class TWaveStrip;

class TSoundPanel : public QWidget {
  Q_OBJECT

 public:
  explicit TSoundPanel(QWidget* parent = nullptr);
  ~TSoundPanel() override;

  void SetList(TCPList* list);
  // The selected source; its envelope is computed anew and playback stops.
  void ShowSource(const QString& path);
  const QString& Source() const { return source_; }

  TWaveStrip* Strip() const { return strip_; }
  TCutPlayer* Player() const { return player_; }
  TEnvelopeLoader* Loader() const { return loader_; }
  QAction* ACPlay() const { return acPlay_; }
  QAction* ACStopPlay() const { return acStop_; }
  QAction* ACHearCut() const { return acHearCut_; }
  QAction* ACDetectPauses() const { return acDetectPauses_; }
  QAction* ACGoTo() const { return acGoTo_; }

  // "Aller à...": asks for a time and puts the cursor there. GoToTime takes a typed time
  // as the grid reads it; false, with a message, when it does not read as one.
  void GoTo();
  bool GoToTime(const QString& text);

  // The cursor's time, the time under the mouse, the selected point's and the length.
  void UpdateReadouts();
  QLabel* CursorReadout() const { return lblCursor_; }
  QLabel* MouseReadout() const { return lblMouse_; }
  QLabel* PointReadout() const { return lblPoint_; }
  QLabel* LengthReadout() const { return lblLength_; }

  void PlayOrStop();
  void HearCut();
  // Asks for the options and fills the cut list with the points they give.
  void DetectPauses();

 signals:
  void StatusMessage(const QString& text);
  // The cut list was filled anew: the grid shows it.
  void ListReplaced();

 private:
  // The constructor's steps.
  void AssignActionKeys();
  QToolBar* MakeToolBar();
  QHBoxLayout* MakeReadouts();
  void ConnectActions();
  void ConnectLevels();

  void UpdatePlayActions();
  void OnPlaybackStopped();

  TCPList* list_ = nullptr;
  QString source_;
  TSourceKind sourceKind_ = TSourceKind::Unknown;
  TWaveStrip* strip_;
  TCutPlayer* player_;
  TEnvelopeLoader* loader_;
  QAction* acPlay_;
  QAction* acStop_;
  QAction* acHearCut_;
  QAction* acDetectPauses_;
  QAction* acGoTo_;
  QLabel* lblCursor_;
  QLabel* lblMouse_;
  QLabel* lblPoint_;
  QLabel* lblLength_;
  int64_t mouseMs_ = -1;
  int64_t cursorAfterPlay_ = -1;  // where the cursor returns when hearing a cut ends
};

}  // namespace zembrio
