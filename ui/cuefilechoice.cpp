#include "ui/cuefilechoice.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialogframe.h"
#include "ui/qtext.h"

namespace zembrio {

TfrmCueFileChoice::TfrmCueFileChoice(const QString& sheetName, const std::vector<TCueFile>& files,
                                     QWidget* parent)
    : QDialog(parent),
      files_(new QListWidget(this)),
      btnOk_(new QPushButton("Charger", this)),
      btnCancel_(new QPushButton("Annuler", this)) {
  setObjectName("frmCueFileChoice");
  setWindowTitle("Fichier de la liste");
  setModal(true);
  UseModalDialogFrame(*this);
  files_->setObjectName("lbCueFiles");
  btnOk_->setObjectName("btnOk");
  btnCancel_->setObjectName("btnCancel");
  int number = 0;
  for (const TCueFile& file : files) {
    files_->addItem(QString::number(++number) + ". " + ToQ(file.Name) + " (" +
                    QString::number(file.Tracks) + " piste(s))");
  }
  files_->setCurrentRow(0);
  files_->setMinimumWidth(360);
  btnOk_->setDefault(true);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOk_);
  buttons->addWidget(btnCancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(sheetName + " décrit plusieurs fichiers, aucun n'est la source.\n"
                                           "Charger les pistes du fichier :",
                               this));
  layout->addWidget(files_, 1);
  layout->addLayout(buttons);

  connect(btnOk_, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(files_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

int TfrmCueFileChoice::ChosenNumber() const {
  return files_->currentItem() != nullptr ? files_->currentRow() + 1 : 0;
}

}  // namespace zembrio
