// The About box of the "A propos" action: created when asked for, destroyed after use.
#pragma once

#include <QDialog>

class QLabel;

namespace zembrio {

class TfrmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAbout(QWidget* parent = nullptr);

  QLabel* lAppName = nullptr;
  QLabel* lVersion = nullptr;
};

// Shows the About box modally, owned by parent, and destroys it when it closes.
void ShowAboutBox(QWidget* parent);

}  // namespace zembrio
