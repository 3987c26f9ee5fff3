#include "ui/dialogs/charreplace.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <string>

#include "core/textutil.h"
#include "cut/runfeedback.h"
#include "ui/dialogframe.h"

namespace zembrio {

TfrmCharReplace::TfrmCharReplace(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Remplacement de texte"));
  UseModalDialogFrame(*this);
  leSrc = new QLineEdit(this);
  leSrc->setObjectName(QStringLiteral("leSrc"));
  leDst = new QLineEdit(this);
  leDst->setObjectName(QStringLiteral("leDst"));
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Annuler"), this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Text:"), this), 0, 0);
  grid->addWidget(leSrc, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Replace with:"), this), 1, 0);
  grid->addWidget(leDst, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  grid->addLayout(buttons, 2, 0, 1, 2);

  connect(OKBtn, &QPushButton::clicked, this, &TfrmCharReplace::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &TfrmCharReplace::reject);
  // OK stays enabled until the source is edited, so that the control-character pair
  // (empty source) can be confirmed as it opens.
  connect(leSrc, &QLineEdit::textChanged, this,
          [this](const QString& text) { OKBtn->setEnabled(!text.isEmpty()); });

  resize(QSize(201, 94).expandedTo(sizeHint()));
  setFixedSize(size());
}

void TfrmCharReplace::accept() {
  std::string replacement = leDst->text().toStdString();
  if (CleanFileName(replacement)) {
    leDst->setText(QString::fromStdString(replacement));
    QMessageBox::information(this, QString::fromUtf8(kApplicationTitle),
                             QStringLiteral("Not allowed character(s) found and removed."));
  }
  QDialog::accept();
}

}  // namespace zembrio
