// The sound of the cut page: the waveform strip of the selected source with its player and
// the actions that listen to it. It loads the envelope whenever another file is selected.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>

class QAction;

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

  void PlayOrStop();
  void HearCut();
  // Asks for the options and fills the cut list with the points they give.
  void DetectPauses();

 signals:
  void StatusMessage(const QString& text);
  // The cut list was filled anew: the grid shows it.
  void ListReplaced();

 private:
  void UpdatePlayActions();

  TCPList* list_ = nullptr;
  QString source_;
  TWaveStrip* strip_;
  TCutPlayer* player_;
  TEnvelopeLoader* loader_;
  QAction* acPlay_;
  QAction* acStop_;
  QAction* acHearCut_;
  QAction* acDetectPauses_;
};

}  // namespace zembrio
