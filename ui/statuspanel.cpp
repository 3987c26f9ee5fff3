#include "ui/statuspanel.h"

#include <QLabel>
#include <QProgressBar>

#include "cut/runfeedback.h"

namespace zembrio {

namespace {
constexpr int kPanelWidth = 100;
}

TMainStatusBar::TMainStatusBar(QWidget* parent)
    : QStatusBar(parent),
      statePanel_(new QLabel(this)),
      progressBar_(new QProgressBar(this)),
      infoPanel_(new QLabel(this)) {
  setSizeGripEnabled(true);
  statePanel_->setFixedWidth(kPanelWidth);
  progressBar_->setObjectName("ProgressBar");
  progressBar_->setFixedWidth(kPanelWidth - 6);
  progressBar_->setRange(0, kProgressBarMax);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  progressBar_->setMaximumHeight(14);
  infoPanel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  infoPanel_->setMinimumWidth(1);
  addWidget(statePanel_);
  addWidget(progressBar_);
  addWidget(infoPanel_, 1);
  SetStateText({});
  SetInfoText({});
}

void TMainStatusBar::SetStateText(const QString& text) {
  statePanel_->setText(" " + text);
}

void TMainStatusBar::SetInfoText(const QString& text) {
  infoPanel_->setText(" " + text);
}

void TMainStatusBar::SetProgressPosition(int position) {
  progressBar_->setValue(position);
}

QString TMainStatusBar::StateText() const {
  return statePanel_->text();
}

QString TMainStatusBar::InfoText() const {
  return infoPanel_->text();
}

}  // namespace zembrio
