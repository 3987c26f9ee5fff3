#include "ui/soundpanel.h"

#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "core/settings.h"
#include "core/timevalue.h"
#include "cutlist/cutpoint.h"
#include "cutlist/gridmodel.h"
#include "format/sourcekind.h"
#include "sound/proposals.h"
#include "ui/actiontags.h"
#include "ui/cutplayer.h"
#include "ui/envelopeloader.h"
#include "ui/pausedialog.h"
#include "ui/qtext.h"
#include "ui/wavestrip.h"

namespace zembrio {

namespace {

// The cursor keys step by one MPEG frame, the unit a cut of MPEG audio moves by (Layer III:
// 1152 samples, 576 at the half rates); other sources have no such unit and step by 10 ms.
// Whether the user has named anything in the list: that much work is not replaced unasked.
bool HasNames(const TCPList& list) {
  for (int index = 0; index < list.Count(); ++index) {
    if (!list[index].IsNew && !list[index].IsSkipped())
      return true;
  }
  return false;
}

double CursorStepMs(TSourceKind kind, int sampleRate) {
  if (kind != TSourceKind::Mpeg || sampleRate <= 0)
    return TWaveStrip::kDefaultStepMs;
  return 1000.0 * (sampleRate >= 32000 ? 1152 : 576) / sampleRate;
}

}  // namespace

TSoundPanel::TSoundPanel(QWidget* parent)
    : QWidget(parent),
      strip_(new TWaveStrip(this)),
      player_(new TCutPlayer(this)),
      loader_(new TEnvelopeLoader(this)),
      acPlay_(MakeAction(this, "ACPlay", "Écouter")),
      acStop_(MakeAction(this, "ACStopPlay", "Arrêter")),
      acHearCut_(MakeAction(this, "ACHearCut", "Écouter la coupe")),
      acDetectPauses_(MakeAction(this, "ACDetectPauses", "Détecter les pauses...")),
      acGoTo_(MakeAction(this, "ACGoTo", "Aller à...")) {
  setObjectName("PnlSound");
  AssignActionKeys();
  QToolBar* toolbar = MakeToolBar();
  auto* column = new QVBoxLayout;
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(1);
  column->addWidget(strip_, 1);
  column->addLayout(MakeReadouts());
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(toolbar);
  layout->addLayout(column, 1);

  ConnectActions();
  ConnectLevels();
  UpdatePlayActions();
  UpdateReadouts();
}

void TSoundPanel::AssignActionKeys() {
  SetActionKeys(acPlay_, {Qt::Key_F5},
                "Écouter depuis le curseur, ou arrêter ; Espace sur la forme d'onde");
  SetActionKeys(acGoTo_, {Qt::CTRL | Qt::Key_G}, "Placer le curseur à un temps donné");
  SetActionKeys(acStop_, {Qt::SHIFT | Qt::Key_F5});
  SetActionKeys(acHearCut_, {Qt::Key_F6},
                "Écouter quelques secondes avant et après le point de coupe choisi");
  SetActionKeys(acDetectPauses_, {Qt::CTRL | Qt::Key_D});
}

QToolBar* TSoundPanel::MakeToolBar() {
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
  toolbar->addAction(acGoTo_);
  toolbar->addSeparator();
  toolbar->addAction(acDetectPauses_);
  return toolbar;
}

QHBoxLayout* TSoundPanel::MakeReadouts() {
  const auto readout = [this](const char* name) {
    auto* label = new QLabel(this);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
  };
  lblCursor_ = readout("LblCursorTime");
  lblMouse_ = readout("LblMouseTime");
  lblPoint_ = readout("LblPointTime");
  lblLength_ = readout("LblLength");
  auto* readouts = new QHBoxLayout;
  readouts->setContentsMargins(4, 0, 4, 0);
  readouts->setSpacing(16);
  for (QLabel* label : {lblCursor_, lblMouse_, lblPoint_})
    readouts->addWidget(label);
  readouts->addStretch(1);
  readouts->addWidget(lblLength_);
  return readouts;
}

void TSoundPanel::ConnectActions() {
  connect(acPlay_, &QAction::triggered, this, &TSoundPanel::PlayOrStop);
  connect(acStop_, &QAction::triggered, player_, &TCutPlayer::Stop);
  connect(acHearCut_, &QAction::triggered, this, &TSoundPanel::HearCut);
  connect(acDetectPauses_, &QAction::triggered, this, &TSoundPanel::DetectPauses);
  connect(acGoTo_, &QAction::triggered, this, &TSoundPanel::GoTo);
  connect(strip_, &TWaveStrip::PlayToggled, this, &TSoundPanel::PlayOrStop);
  connect(player_, &TCutPlayer::PositionChanged, strip_, &TWaveStrip::SetCursorMs);
  connect(player_, &TCutPlayer::Message, this, &TSoundPanel::StatusMessage);
  connect(player_, &TCutPlayer::Stopped, this, &TSoundPanel::OnPlaybackStopped);
}

// The levels as the loader hands them over, and the readouts that follow the cursor.
void TSoundPanel::ConnectLevels() {
  connect(loader_, &TEnvelopeLoader::Started, strip_,
          [this](double stepMs, qint64 durationMs, int sampleRate) {
            strip_->SetLevels({stepMs, durationMs, {}});
            strip_->SetStepMs(CursorStepMs(sourceKind_, sampleRate));
          });
  connect(loader_, &TEnvelopeLoader::StepsReady, strip_, &TWaveStrip::PlaceLevels);
  connect(loader_, &TEnvelopeLoader::Started, this, &TSoundPanel::UpdateReadouts);
  connect(strip_, &TWaveStrip::CursorMoved, this, &TSoundPanel::UpdateReadouts);
  connect(player_, &TCutPlayer::PositionChanged, this, &TSoundPanel::UpdateReadouts);
  connect(strip_, &TWaveStrip::HoverMoved, this, [this](qint64 ms) {
    mouseMs_ = ms;
    UpdateReadouts();
  });
  connect(loader_, &TEnvelopeLoader::Failed, this, &TSoundPanel::StatusMessage);
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
  sourceKind_ = path.isEmpty() ? TSourceKind::Unknown : DetectSourceKind(ToStd(path));
  strip_->SetStepMs(TWaveStrip::kDefaultStepMs);
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
  cursorAfterPlay_ = -1;
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
  const int64_t cursor = cursorAfterPlay_ >= 0 ? cursorAfterPlay_ : strip_->CursorMs();
  // A length of nothing would hear nothing: a tenth of a second is the least.
  const int64_t around = std::clamp<int64_t>(Settings().HEARCUT, 100, 60000);
  // Hearing a cut is a look aside: the cursor comes back where the user left it.
  if (player_->Play(ToStd(source_), std::max<int64_t>(0, at - around), at + around))
    cursorAfterPlay_ = cursor;
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
  if (HasNames(*list_) &&
      QMessageBox::question(this, acDetectPauses_->text(), "Remplacer la liste actuelle ?",
                            QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::No) != QMessageBox::Yes)
    return;
  const std::vector<int64_t> starts = dialog.Starts();
  FillProposedCutList(*list_, starts, dialog.SampleRate());
  emit ListReplaced();
  emit StatusMessage(QString("%1 points de coupe proposés").arg(starts.size()));
}

bool TSoundPanel::GoToTime(const QString& text) {
  // Read as a start typed into the grid: the same formats, the same unit.
  TCutPoint typed;
  typed.Seconds = -1;
  try {
    ApplyStartCellText(typed, ToStd(text.trimmed()));
  } catch (const TConversionError&) {
    typed.Seconds = -1;
  }
  if (typed.Seconds < 0) {
    emit StatusMessage(QString("Temps invalide : %1").arg(text));
    return false;
  }
  strip_->SetCursorMs(PositionAt(typed, 1000));
  UpdateReadouts();
  return true;
}

void TSoundPanel::GoTo() {
  QInputDialog dialog(this);
  dialog.setWindowTitle("Aller à");
  dialog.setLabelText("Temps :");
  dialog.setTextValue(ToQ(FormatPosition(1000, strip_->CursorMs())));
  if (dialog.exec() == QDialog::Accepted && GoToTime(dialog.textValue()))
    strip_->setFocus(Qt::ShortcutFocusReason);
}

void TSoundPanel::UpdateReadouts() {
  strip_->SetTimeUnitMs(Settings().TIME_TYPE == 1 ? 1000.0 / kCdFramesPerSecond : 1.0);
  const auto time = [](int64_t ms) { return ToQ(FormatPosition(1000, ms)); };
  const bool known = strip_->LengthMs() > 0;
  lblCursor_->setText("Curseur : " + (known ? time(strip_->CursorMs()) : QString("-")));
  lblMouse_->setText("Souris : " + (known && mouseMs_ >= 0 ? time(mouseMs_) : QString("-")));
  const TCutPoint* point = list_ ? list_->Item(strip_->SelectedRow() - 1) : nullptr;
  lblPoint_->setText("Point choisi : " +
                     (point && !point->IsNew ? time(PositionAt(*point, 1000)) : QString("-")));
  lblLength_->setText("Durée : " + (known ? time(strip_->LengthMs()) : QString("-")));
}

void TSoundPanel::OnPlaybackStopped() {
  if (cursorAfterPlay_ >= 0)
    strip_->SetCursorMs(std::exchange(cursorAfterPlay_, -1));
  // "Lecture..." no longer holds.
  emit StatusMessage({});
  UpdateReadouts();
  UpdatePlayActions();
}

void TSoundPanel::UpdatePlayActions() {
  acStop_->setEnabled(player_->Playing());
}

}  // namespace zembrio
