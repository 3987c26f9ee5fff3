// The pair editor "Remplacement de texte": one source text and its replacement. The
// replacement goes into file names, so the characters they may not hold are removed
// from it when the user confirms.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace zembrio {

class TfrmCharReplace : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmCharReplace(QWidget* parent = nullptr);

  QLineEdit* leSrc = nullptr;
  QLineEdit* leDst = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

 public slots:
  void accept() override;
};

}  // namespace zembrio
