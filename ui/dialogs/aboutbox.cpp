#include "ui/dialogs/aboutbox.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <cmath>
#include "ui/dialogframe.h"

namespace zembrio {

namespace {

const char* const kAboutLines =
    "Site:    \n"
    "voir le fichier README.md\n"
    "\n"
    "Rapports de bugs, suggestions, questions:\n"
    "le suivi des tickets du projet\n"
    "\n"
    "(c) Zembrio et ses contributeurs\n"
    "contacts: voir README.md";

// The name is drawn 17 points high: 23 pixels on a 96 dots-per-inch screen.
int NamePixelSize(const QWidget& widget) {
  return static_cast<int>(std::lround(17.0 * widget.logicalDpiY() / 72.0));
}

}  // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About"));
  UseModalDialogFrame(*this);
  setFixedSize(265, 224);

  lAppName = new QLabel(QStringLiteral("Zembrio"), this);
  QFont nameFont = lAppName->font();
  nameFont.setBold(true);
  nameFont.setPixelSize(NamePixelSize(*this));
  lAppName->setFont(nameFont);
  lAppName->move(24, 24);
  lAppName->adjustSize();

  lVersion = new QLabel(QStringLiteral("version " ZEMBRIO_VERSION), this);
  lVersion->move(24, 56);
  lVersion->adjustSize();

  auto* text = new QPlainTextEdit(QString::fromUtf8(kAboutLines), this);
  text->setReadOnly(true);
  text->setFrameShape(QFrame::NoFrame);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  text->document()->setDocumentMargin(0);
  // The eight lines must fit the box's fixed 233 pixels without scrolling.
  QFont small = text->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  text->setFont(small);
  text->setFocusPolicy(Qt::NoFocus);
  QPalette palette = text->palette();
  palette.setColor(QPalette::Base, this->palette().color(QPalette::Window));
  text->setPalette(palette);
  text->setGeometry(24, 80, 233, 129);

  // Default and cancel button at once: Enter and Escape both close the box.
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setGeometry(181, 190, 75, 25);
  ok->setDefault(true);
  ok->raise();
  ok->setFocus();
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void ShowAboutBox(QWidget* parent) {
  TfrmAbout box(parent);
  box.exec();
}

}  // namespace zembrio
