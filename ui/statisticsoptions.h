// "Statistiques": whether the statistics run also lists every frame in a text file, and
// which file. The choice keeps its last value between showings.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zembrio {

class TfrmStatistSet : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmStatistSet(QWidget* parent = nullptr);

  // Shows the dialog with proposedName in the file field; true when confirmed with "OK".
  bool Ask(const QString& proposedName);
  bool Detail() const;
  QString DetailFileName() const;

  QRadioButton* RBDetail() const { return rbDetail_; }
  QRadioButton* RBSimple() const { return rbSimple_; }
  QLineEdit* EditFileName() const { return editFileName_; }

 private:
  void UpdateFileNameEnabled();

  QPushButton* btnOk_;
  QPushButton* btnCancel_;
  QLineEdit* editFileName_;
  QRadioButton* rbDetail_;
  QRadioButton* rbSimple_;
};

}  // namespace zembrio
