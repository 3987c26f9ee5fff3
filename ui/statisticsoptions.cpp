#include "ui/statisticsoptions.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include "ui/dialogframe.h"

namespace zembrio {

TfrmStatistSet::TfrmStatistSet(QWidget* parent)
    : QDialog(parent),
      btnOk_(new QPushButton("OK", this)),
      btnCancel_(new QPushButton("Annuler", this)),
      editFileName_(new QLineEdit(this)),
      rbDetail_(new QRadioButton("Détail dans fichier:", this)),
      rbSimple_(new QRadioButton("Simple", this)) {
  setObjectName("frmStatistSet");
  setWindowTitle("Statistiques");
  setModal(true);
  UseModalDialogFrame(*this);
  rbSimple_->setChecked(true);
  btnOk_->setDefault(true);
  editFileName_->setMinimumWidth(360);

  auto* fileRow = new QHBoxLayout;
  fileRow->addSpacing(20);
  fileRow->addWidget(editFileName_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOk_);
  buttons->addWidget(btnCancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(rbDetail_);
  layout->addLayout(fileRow);
  layout->addWidget(rbSimple_);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  setTabOrder(btnOk_, btnCancel_);
  setTabOrder(btnCancel_, editFileName_);
  setTabOrder(editFileName_, rbDetail_);
  setTabOrder(rbDetail_, rbSimple_);

  connect(btnOk_, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(rbDetail_, &QRadioButton::clicked, this, &TfrmStatistSet::UpdateFileNameEnabled);
  connect(rbSimple_, &QRadioButton::clicked, this, &TfrmStatistSet::UpdateFileNameEnabled);
  UpdateFileNameEnabled();
}

bool TfrmStatistSet::Ask(const QString& proposedName) {
  editFileName_->setText(proposedName);
  UpdateFileNameEnabled();
  btnOk_->setFocus();
  return exec() == QDialog::Accepted;
}

bool TfrmStatistSet::Detail() const {
  return rbDetail_->isChecked();
}

QString TfrmStatistSet::DetailFileName() const {
  return editFileName_->text();
}

void TfrmStatistSet::UpdateFileNameEnabled() {
  editFileName_->setEnabled(rbDetail_->isChecked());
}

}  // namespace zembrio
