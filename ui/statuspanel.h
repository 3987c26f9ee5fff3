// The main window's status bar: the state text (100 pixels), the progress bar (100 pixels,
// 0..1000 per mille) and the info text taking the rest of the width.
#pragma once

#include <QStatusBar>

class QLabel;
class QProgressBar;

namespace zembrio {

class TMainStatusBar : public QStatusBar {
  Q_OBJECT

 public:
  explicit TMainStatusBar(QWidget* parent = nullptr);

  // Each panel shows a blank followed by the text.
  void SetStateText(const QString& text);
  void SetInfoText(const QString& text);
  void SetProgressPosition(int position);

  QString StateText() const;
  QString InfoText() const;
  QProgressBar* ProgressBar() const { return progressBar_; }

 private:
  QLabel* statePanel_;
  QProgressBar* progressBar_;
  QLabel* infoPanel_;
};

}  // namespace zembrio
