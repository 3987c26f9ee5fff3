#include "ui/statisticswindow.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialogframe.h"
#include "ui/qtext.h"

namespace zembrio {

TfrmStatistics::TfrmStatistics(QWidget* parent)
    : QDialog(parent), memo_(new QPlainTextEdit(this)), btnClose_(new QPushButton("Fermer", this)) {
  setObjectName("frmStatistics");
  setWindowTitle("Info...");
  setModal(true);
  UseModalDialogFrame(*this, true);
  memo_->setObjectName("Memo1");
  memo_->setReadOnly(true);
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // The frame listing and the bitrate bars line up only in a fixed-pitch font.
  memo_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  btnClose_->setDefault(true);
  connect(btnClose_, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnClose_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(memo_, 1);
  layout->addLayout(buttons);
  // Wide enough for the bitrate bars of a statistics report.
  resize(640, 460);
}

void TfrmStatistics::ClearText() {
  memo_->clear();
}

void TfrmStatistics::AddLogLine(const std::string& text) {
  QString line = ToQ(text);
  line.replace("\r\n", "\n");
  memo_->appendPlainText(line);
}

void TfrmStatistics::SetLines(const std::vector<std::string>& lines) {
  QStringList all;
  all.reserve(static_cast<qsizetype>(lines.size()));
  for (const std::string& line : lines)
    all << ToQ(line);
  memo_->setPlainText(all.join('\n'));
  memo_->moveCursor(QTextCursor::Start);
}

QString TfrmStatistics::Text() const {
  return memo_->toPlainText();
}

}  // namespace zembrio
