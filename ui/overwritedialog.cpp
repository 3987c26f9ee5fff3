#include "ui/overwritedialog.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/dialogframe.h"
#include "ui/qtext.h"

namespace zembrio {

TfrmOverwriteWarning::TfrmOverwriteWarning(QWidget* parent)
    : QDialog(parent),
      message_(new QLabel(this)),
      rbOverwrite_(new QRadioButton("Ecraser", this)),
      rbOverwriteAll_(new QRadioButton("Ecraser tout", this)),
      rbSaveAs_(new QRadioButton("Enregistrer sous:", this)),
      editName_(new QLineEdit(this)),
      btnBrowse_(new QPushButton("...", this)),
      btnContinue_(new QPushButton("Continuer", this)),
      btnStop_(new QPushButton("Interrompre", this)) {
  setObjectName("frmOverwriteWarning");
  setWindowTitle("Avertissement");
  setModal(true);
  UseModalDialogFrame(*this);
  message_->setWordWrap(true);
  message_->setMinimumWidth(380);
  rbSaveAs_->setChecked(true);
  editName_->setMinimumWidth(320);
  btnBrowse_->setFixedWidth(32);
  btnContinue_->setDefault(true);

  auto* nameRow = new QHBoxLayout;
  nameRow->addSpacing(20);
  nameRow->addWidget(editName_, 1);
  nameRow->addWidget(btnBrowse_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnContinue_);
  buttons->addWidget(btnStop_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(message_);
  layout->addSpacing(6);
  layout->addWidget(rbOverwrite_);
  layout->addWidget(rbOverwriteAll_);
  layout->addWidget(rbSaveAs_);
  layout->addLayout(nameRow);
  layout->addSpacing(6);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  setTabOrder(rbOverwrite_, rbOverwriteAll_);
  setTabOrder(rbOverwriteAll_, rbSaveAs_);
  setTabOrder(rbSaveAs_, editName_);
  setTabOrder(editName_, btnContinue_);
  setTabOrder(btnContinue_, btnStop_);
  setTabOrder(btnStop_, btnBrowse_);

  connect(btnContinue_, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnStop_, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnBrowse_, &QPushButton::clicked, this, &TfrmOverwriteWarning::BrowseForName);
}

TOverwriteAnswer TfrmOverwriteWarning::Ask(const QString& message, const QString& proposedName) {
  message_->setText(message);
  editName_->setText(proposedName);
  btnContinue_->setFocus();
  if (exec() != QDialog::Accepted)
    return {TOverwriteChoice::Stop, ToStd(proposedName)};
  return {SelectedChoice(), ToStd(editName_->text())};
}

TOverwriteChoice TfrmOverwriteWarning::SelectedChoice() const {
  if (rbOverwrite_->isChecked())
    return TOverwriteChoice::Overwrite;
  if (rbOverwriteAll_->isChecked())
    return TOverwriteChoice::OverwriteAll;
  return TOverwriteChoice::SaveAs;
}

void TfrmOverwriteWarning::BrowseForName() {
  QFileDialog dialog(this, windowTitle(), editName_->text());
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // This dialog is the overwrite question; the file dialog must not ask it a second time.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.selectFile(editName_->text());
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    editName_->setText(dialog.selectedFiles().constFirst());
}

}  // namespace zembrio
