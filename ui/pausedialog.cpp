#include "ui/pausedialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/settings.h"
#include "sound/envelope.h"
#include "sound/pauses.h"
#include "sound/proposals.h"

namespace zembrio {

namespace {

QSpinBox* MakeSpin(QWidget* parent, const char* name, int low, int high, int value,
                   const QString& suffix) {
  auto* spin = new QSpinBox(parent);
  spin->setObjectName(name);
  spin->setRange(low, high);
  spin->setValue(std::clamp(value, low, high));
  spin->setSuffix(suffix);
  return spin;
}

}  // namespace

TfrmPauses::TfrmPauses(QWidget* parent)
    : QDialog(parent),
      byPauses_(new QRadioButton("Aux pauses", this)),
      byLength_(new QRadioButton("Toutes les", this)),
      byParts_(new QRadioButton("En parts égales :", this)) {
  setObjectName("frmPauses");
  setWindowTitle("Détecter les pauses");
  const TSettings& settings = Settings();
  threshold_ = MakeSpin(this, "SpinThreshold", -100, 0, settings.SILENCEDB, " dB");
  minPause_ = MakeSpin(this, "SpinMinPause", 100, 60000, settings.SILENCEMIN, " ms");
  position_ = MakeSpin(this, "SpinPosition", 0, 100, settings.SILENCEPOS, " %");
  minTrack_ = MakeSpin(this, "SpinMinTrack", 0, 3600, settings.TRACKMIN / 1000, " s");
  every_ = MakeSpin(this, "SpinEvery", 1, 36000, 300, " s");
  parts_ = MakeSpin(this, "SpinParts", 2, 999, 2, " parts");
  preview_ = new QLabel(this);
  preview_->setObjectName("LblPreview");
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons_->button(QDialogButtonBox::Ok)->setText("Remplir la liste");
  buttons_->button(QDialogButtonBox::Cancel)->setText("Annuler");
  byPauses_->setChecked(true);

  auto* pauses = new QFormLayout;
  pauses->setContentsMargins(24, 0, 0, 0);
  pauses->addRow("Seuil du silence :", threshold_);
  pauses->addRow("Durée minimale d'une pause :", minPause_);
  pauses->addRow("Coupe dans la pause, à :", position_);
  pauses->addRow("Durée minimale d'une piste :", minTrack_);
  auto* split = new QFormLayout;
  split->addRow(byLength_, every_);
  split->addRow(byParts_, parts_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(byPauses_);
  layout->addLayout(pauses);
  layout->addSpacing(6);
  layout->addLayout(split);
  layout->addSpacing(6);
  layout->addWidget(preview_);
  layout->addWidget(buttons_);

  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  for (QRadioButton* mode : {byPauses_, byLength_, byParts_})
    connect(mode, &QRadioButton::toggled, this, &TfrmPauses::UpdatePreview);
  for (QSpinBox* spin : {threshold_, minPause_, position_, minTrack_, every_, parts_})
    connect(spin, &QSpinBox::valueChanged, this, &TfrmPauses::UpdatePreview);
  UpdatePreview();
}

void TfrmPauses::SetEnvelope(std::shared_ptr<const TEnvelope> envelope) {
  envelope_ = std::move(envelope);
  UpdatePreview();
}

TPauseOptions TfrmPauses::Options() const {
  TPauseOptions options;
  options.ThresholdDb = threshold_->value();
  options.MinLengthMs = minPause_->value();
  options.Position = position_->value() / 100.0;
  options.MinTrackMs = minTrack_->value() * 1000;
  return options;
}

int32_t TfrmPauses::SampleRate() const {
  return envelope_ ? envelope_->SampleRate() : 0;
}

std::vector<int64_t> TfrmPauses::Starts() const {
  if (!envelope_)
    return {};
  if (byLength_->isChecked())
    return SplitEvery(envelope_->TotalSamples(),
                      static_cast<int64_t>(every_->value()) * envelope_->SampleRate());
  if (byParts_->isChecked())
    return SplitParts(envelope_->TotalSamples(), parts_->value());
  return CutSamples(FindPauses(*envelope_, Options()));
}

void TfrmPauses::StoreOptions() const {
  TSettings& settings = Settings();
  settings.SILENCEDB = threshold_->value();
  settings.SILENCEMIN = minPause_->value();
  settings.SILENCEPOS = position_->value();
  settings.TRACKMIN = minTrack_->value() * 1000;
}

void TfrmPauses::UpdatePreview() {
  for (QSpinBox* spin : {threshold_, minPause_, position_, minTrack_})
    spin->setEnabled(byPauses_->isChecked());
  every_->setEnabled(byLength_->isChecked());
  parts_->setEnabled(byParts_->isChecked());
  QPushButton* ok = buttons_->button(QDialogButtonBox::Ok);
  if (!envelope_) {
    preview_->setText("Analyse du fichier en cours...");
    ok->setEnabled(false);
    return;
  }
  const size_t points = Starts().size();
  preview_->setText(
      points == 0   ? QString("Aucun point de coupe : le fichier reste entier")
      : points == 1 ? QString("1 point de coupe, soit 2 fichiers")
                    : QString("%1 points de coupe, soit %2 fichiers").arg(points).arg(points + 1));
  // Accepting nothing would only empty the list.
  ok->setEnabled(points > 0);
}

}  // namespace zembrio
