// "Détecter les pauses": proposes cut points for the selected source from its pauses, every
// so many seconds, or in equal parts, and shows how many points that gives before the user
// accepts. Works on the envelope the strip has already computed, so every change of an
// option answers at once.
#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <vector>

class QDialogButtonBox;
class QLabel;
class QRadioButton;
class QSpinBox;

namespace zembrio {

class TEnvelope;
struct TPauseOptions;

class TfrmPauses : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmPauses(QWidget* parent = nullptr);

  // The envelope of the source; null while it is still being computed.
  void SetEnvelope(std::shared_ptr<const TEnvelope> envelope);
  // The starts of the tracks after the first, in samples, for the options shown.
  std::vector<int64_t> Starts() const;
  int32_t SampleRate() const;
  // Keeps the pause options in the settings, for the next time and for the command line.
  void StoreOptions() const;

  QRadioButton* ByPauses() const { return byPauses_; }
  QRadioButton* ByLength() const { return byLength_; }
  QRadioButton* ByParts() const { return byParts_; }
  QSpinBox* Threshold() const { return threshold_; }
  QSpinBox* MinPause() const { return minPause_; }
  QSpinBox* Every() const { return every_; }
  QSpinBox* Parts() const { return parts_; }
  QLabel* Preview() const { return preview_; }

 private:
  TPauseOptions Options() const;
  void UpdatePreview();

  std::shared_ptr<const TEnvelope> envelope_;
  QRadioButton* byPauses_;
  QRadioButton* byLength_;
  QRadioButton* byParts_;
  QSpinBox* threshold_;
  QSpinBox* minPause_;
  QSpinBox* position_;
  QSpinBox* minTrack_;
  QSpinBox* every_;
  QSpinBox* parts_;
  QLabel* preview_;
  QDialogButtonBox* buttons_;
};

}  // namespace zembrio
