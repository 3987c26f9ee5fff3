#include "ui/soundpanel.h"

#include <QHBoxLayout>
#include <QToolBar>
#include <algorithm>

#include "core/settings.h"
#include "cutlist/cutpoint.h"
#include "sound/proposals.h"
#include "ui/actiontags.h"
#include "ui/cutplayer.h"
#include "ui/envelopeloader.h"
#include "ui/pausedialog.h"
#include "ui/qtext.h"
#include "ui/wavestrip.h"

namespace zembrio {

TSoundPanel::TSoundPanel(QWidget* parent)
    : QWidget(parent),
      strip_(new TWaveStrip(this)),
      player_(new TCutPlayer(this)),
      loader_(new TEnvelopeLoader(this)),
      acPlay_(MakeAction(this, "ACPlay", "Écouter")),
      acStop_(MakeAction(this, "ACStopPlay", "Arrêter")),
      acHearCut_(MakeAction(this, "ACHearCut", "Écouter la coupe")),
      acDetectPauses_(MakeAction(this, "ACDetectPauses", "Détecter les pauses...")) {
  setObjectName("PnlSound");
  acPlay_->setToolTip("Écouter depuis le curseur (Espace)");
  acHearCut_->setToolTip("Écouter quelques secondes avant et après le point de coupe choisi");
  auto* toolbar = new QToolBar(this);
  toolbar->setObjectName("ToolBarSound");
  toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  // Beside the strip rather than above it, the buttons take no height from the grid, and
  // a low window folds them behind the toolbar's extension button.
  toolbar->setOrientation(Qt::Vertical);
  toolbar->setMinimumHeight(16);
  toolbar->addAction(acPlay_);
  toolbar->addAction(acStop_);
  toolbar->addAction(acHearCut_);
  toolbar->addSeparator();
  toolbar->addAction(acDetectPauses_);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(toolbar);
  layout->addWidget(strip_, 1);

  connect(acPlay_, &QAction::triggered, this, &TSoundPanel::PlayOrStop);
  connect(acStop_, &QAction::triggered, player_, &TCutPlayer::Stop);
  connect(acHearCut_, &QAction::triggered, this, &TSoundPanel::HearCut);
  connect(acDetectPauses_, &QAction::triggered, this, &TSoundPanel::DetectPauses);
  connect(strip_, &TWaveStrip::PlayToggled, this, &TSoundPanel::PlayOrStop);
  connect(player_, &TCutPlayer::PositionChanged, strip_, &TWaveStrip::SetCursorMs);
  connect(player_, &TCutPlayer::Message, this, &TSoundPanel::StatusMessage);
  connect(player_, &TCutPlayer::Stopped, this, &TSoundPanel::UpdatePlayActions);
  connect(loader_, &TEnvelopeLoader::Started, strip_, [this](double stepMs, qint64 durationMs) {
    strip_->SetLevels({stepMs, durationMs, {}});
  });
  connect(loader_, &TEnvelopeLoader::StepsReady, strip_, &TWaveStrip::AppendLevels);
  connect(loader_, &TEnvelopeLoader::Failed, this, &TSoundPanel::StatusMessage);
  UpdatePlayActions();
}

TSoundPanel::~TSoundPanel() {
  // The player and the loader outlive this part of the panel while its children are
  // deleted: they must not call back into it then.
  player_->disconnect(this);
  loader_->disconnect(this);
  player_->Stop();
  loader_->Stop();
}

void TSoundPanel::SetList(TCPList* list) {
  list_ = list;
  strip_->SetList(list);
}

void TSoundPanel::ShowSource(const QString& path) {
  if (path == source_)
    return;
  player_->Stop();
  source_ = path;
  strip_->ClearLevels();
  loader_->Load(path);
  UpdatePlayActions();
}

void TSoundPanel::PlayOrStop() {
  if (player_->Playing()) {
    player_->Stop();
    return;
  }
  if (source_.isEmpty()) {
    emit StatusMessage("Aucun fichier choisi");
    return;
  }
  player_->Play(ToStd(source_), strip_->CursorMs());
  UpdatePlayActions();
}

void TSoundPanel::HearCut() {
  const TCutPoint* point = list_ ? list_->Item(strip_->SelectedRow() - 1) : nullptr;
  if (source_.isEmpty() || !point) {
    emit StatusMessage("Choisissez d'abord un fichier et un point de coupe");
    return;
  }
  const int64_t at = PositionAt(*point, 1000);
  // A length of nothing would hear nothing: a tenth of a second is the least.
  const int64_t around = std::clamp<int64_t>(Settings().HEARCUT, 100, 60000);
  player_->Play(ToStd(source_), std::max<int64_t>(0, at - around), at + around);
  UpdatePlayActions();
}

void TSoundPanel::DetectPauses() {
  if (source_.isEmpty() || !list_) {
    emit StatusMessage("Aucun fichier choisi");
    return;
  }
  TfrmPauses dialog(this);
  dialog.SetEnvelope(loader_->Envelope());
  // The envelope may still be coming: the dialog counts the points as soon as it is there.
  connect(loader_, &TEnvelopeLoader::Finished, &dialog,
          [this, &dialog] { dialog.SetEnvelope(loader_->Envelope()); });
  if (dialog.exec() != QDialog::Accepted || dialog.SampleRate() <= 0)
    return;
  dialog.StoreOptions();
  const std::vector<int64_t> starts = dialog.Starts();
  FillProposedCutList(*list_, starts, dialog.SampleRate());
  emit ListReplaced();
  emit StatusMessage(QString("%1 points de coupe proposés").arg(starts.size()));
}

void TSoundPanel::UpdatePlayActions() {
  acStop_->setEnabled(player_->Playing());
}

}  // namespace zembrio
