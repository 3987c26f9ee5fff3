// "Avertissement": asks what to do about an output file that already exists. Created once
// at start; its choice and name field keep their last values between showings.
#pragma once

#include <QDialog>

#include "cut/runfeedback.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zembrio {

class TfrmOverwriteWarning : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmOverwriteWarning(QWidget* parent = nullptr);

  // Shows the dialog modally; anything but "Continuer" answers Stop.
  TOverwriteAnswer Ask(const QString& message, const QString& proposedName);

  QRadioButton* RBOverwrite() const { return rbOverwrite_; }
  QRadioButton* RBOverwriteAll() const { return rbOverwriteAll_; }
  QRadioButton* RBSaveAs() const { return rbSaveAs_; }
  QLineEdit* EditName() const { return editName_; }
  QLabel* MessageLabel() const { return message_; }

 private:
  void BrowseForName();
  TOverwriteChoice SelectedChoice() const;

  QLabel* message_;
  QRadioButton* rbOverwrite_;
  QRadioButton* rbOverwriteAll_;
  QRadioButton* rbSaveAs_;
  QLineEdit* editName_;
  QPushButton* btnBrowse_;
  QPushButton* btnContinue_;
  QPushButton* btnStop_;
};

}  // namespace zembrio
