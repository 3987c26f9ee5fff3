#include "ui/dialogs/settingsdialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTabWidget>
#include <QTime>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <utility>

#include "core/codepages.h"
#include "core/inifile.h"
#include "core/platform.h"
#include "core/settings.h"
#include "core/settingstable.h"
#include "core/textutil.h"
#include "core/timevalue.h"
#include "cut/runfeedback.h"
#include "ui/dialogs/pairlisteditor.h"

namespace zembrio {

namespace {

constexpr int kPreviewIntervalMs = 37;

QString ToQ(const std::string& text) {
  return QString::fromStdString(text);
}
std::string ToStd(const QLineEdit* edit) {
  return edit->text().toStdString();
}

QLineEdit* NewEdit(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromUtf8(name));
  return edit;
}

QCheckBox* NewCheck(QWidget* parent, const char* caption, const char* name) {
  auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
  box->setObjectName(QString::fromUtf8(name));
  return box;
}

// A radio group: a titled box of choices whose ids are the setting's values.
QGroupBox* NewRadioGroup(QWidget* parent, const char* title, const QStringList& items,
                         const char* name, QButtonGroup*& group) {
  auto* box = new QGroupBox(QString::fromUtf8(title), parent);
  box->setObjectName(QString::fromUtf8(name));
  group = new QButtonGroup(box);
  auto* layout = new QVBoxLayout(box);
  for (int id = 0; id < items.size(); ++id) {
    auto* radio = new QRadioButton(items[id], box);
    group->addButton(radio, id);
    layout->addWidget(radio);
  }
  return box;
}

// A negative value shows no choice; one past the last choice shows the last.
void SelectRadio(QButtonGroup* group, int value) {
  const QList<QAbstractButton*> buttons = group->buttons();
  group->setExclusive(false);
  for (QAbstractButton* button : buttons)
    button->setChecked(false);
  group->setExclusive(true);
  if (value < 0 || buttons.isEmpty())
    return;
  group->button(std::min(value, static_cast<int>(buttons.size()) - 1))->setChecked(true);
}

QGroupBox* NewGroup(QWidget* parent, const char* title) {
  return new QGroupBox(QString::fromUtf8(title), parent);
}

}  // namespace

TfrmSettings::TfrmSettings(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromUtf8("Réglages"));
  chooseFile_ = [this](const QString& current) -> std::optional<QString> {
    const QString chosen = QFileDialog::getOpenFileName(this, QString(), current);
    if (chosen.isEmpty())
      return std::nullopt;
    return QFileInfo(chosen).absoluteFilePath();
  };
  iniFiles_ = [] { return DefaultSettingsFiles(); };

  pages_ = new QTabWidget(this);
  pages_->addTab(BuildCommonPage(), QStringLiteral("Communs"));
  pages_->addTab(BuildAnalyserPage(), QStringLiteral("Analyseur"));
  pages_->addTab(BuildSpecificPage(), QString::fromUtf8("Spécifiques"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_, 1);
  BuildButtons();

  previewTimer_ = new QTimer(this);
  previewTimer_->setInterval(kPreviewIntervalMs);
  connect(previewTimer_, &QTimer::timeout, this, &TfrmSettings::UpdateTimePreview);

  resize(QSize(464, 420).expandedTo(sizeHint()));
  setFixedSize(size());
}

TfrmSettings::~TfrmSettings() = default;

QWidget* TfrmSettings::BuildCommonPage() {
  auto* page = new QWidget;
  auto* main = NewGroup(page, " Principal ");
  auto* addExtension = BindCheck(main, &TSettings::ADDEXTENSION,
                                 "Ajouter l'extension (.mp2, .mp3, .ogg)", "cbAddExtension");

  auto* timeBox = NewGroup(main, " Affichage du temps ");
  cbShowHours_ = BindCheck(timeBox, &TSettings::TIME_SHOWH, "Heures", "cbShowHours");
  auto* format = BindRadioGroup(timeBox, &TSettings::TIME_TYPE, " Format ",
                                {QStringLiteral("millisecondes"), QStringLiteral("CD frames")},
                                "rgTimeType", &rgTimeType_);
  edTimeH_ = BindEdit(timeBox, &TSettings::TIME_H, "edTimeH");
  edTimeM_ = BindEdit(timeBox, &TSettings::TIME_M, "edTimeM");
  edTimeS_ = BindEdit(timeBox, &TSettings::TIME_S, "edTimeS");
  edTimeMs_ = BindEdit(timeBox, &TSettings::TIME_MS, "edTimeMs");
  edTimeF_ = BindEdit(timeBox, &TSettings::TIME_F, "edTimeF");
  lPreview_ = new QLabel(timeBox);
  lPreview_->setObjectName(QStringLiteral("lPreview"));
  lPreview_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  auto* suffixes = new QFormLayout;
  suffixes->addRow(QStringLiteral("heures:"), edTimeH_);
  suffixes->addRow(QStringLiteral("mins:"), edTimeM_);
  suffixes->addRow(QStringLiteral("secs:"), edTimeS_);
  suffixes->addRow(QStringLiteral("msecs:"), edTimeMs_);
  suffixes->addRow(QStringLiteral("CD frames:"), edTimeF_);
  suffixes->addRow(QString::fromUtf8("aperçu:"), lPreview_);
  auto* left = new QVBoxLayout;
  left->addWidget(cbShowHours_);
  left->addWidget(format);
  left->addStretch();
  auto* timeLayout = new QHBoxLayout(timeBox);
  timeLayout->addLayout(left);
  timeLayout->addLayout(suffixes, 1);
  auto* mainLayout = new QVBoxLayout(main);
  mainLayout->addWidget(addExtension);
  mainLayout->addWidget(timeBox);

  auto* cut = NewGroup(page, " Couper ");
  auto* cutDir = BindEdit(cut, &TSettings::CUTDIR, "edCutDir");
  auto* cutLayout = new QVBoxLayout(cut);
  cutLayout->addWidget(new QLabel(
      QString::fromUtf8("dossier par défaut pour les fichiers coupés: (chemin relatif possible "
                        "ex: \"./cut/\")"),
      cut));
  cutLayout->addWidget(cutDir);

  auto* join = NewGroup(page, " Joindre ");
  auto* joinName = BindEdit(join, &TSettings::JOINNAME, "edJoinName");
  auto* joinLayout = new QVBoxLayout(join);
  joinLayout->addWidget(new QLabel(
      QString::fromUtf8("nom par défaut pour le fichier créé: (chemin relatif possible ex: "
                        "\"../join/join_output\")"),
      join));
  joinLayout->addWidget(joinName);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(main);
  layout->addWidget(cut);
  layout->addWidget(join);
  layout->addStretch();
  return page;
}

QWidget* TfrmSettings::BuildAnalyserPage() {
  auto* page = new QWidget;
  auto* nameParser = NewGroup(page, " Analyseur de nom ");
  auto* mask = BindEdit(nameParser, &TSettings::MASK, "edMask");
  auto* maskLayout = new QVBoxLayout(nameParser);
  maskLayout->addWidget(new QLabel(QStringLiteral("Masque de nom de fichier:"), nameParser));
  maskLayout->addWidget(mask);
  maskLayout->addWidget(new QLabel(QString::fromUtf8("%N - numéro de piste\n"
                                                     "%T - titre de piste\n"
                                                     "%P - artiste de la piste\n"
                                                     "%D - titre du disque\n"
                                                     "%A - artiste du disque\n"
                                                     "%% - %"),
                                   nameParser));
  maskLayout->addStretch();

  auto* replace = NewGroup(page, " Remplacement de texte ");
  pairEditor_ = new TPairListEditor(replace);
  (new QVBoxLayout(replace))->addWidget(pairEditor_);

  auto* cue = NewGroup(page, " CUE sheet ");
  (new QVBoxLayout(cue))
      ->addWidget(BindCheck(cue, &TSettings::ZEROINDEX,
                            "Démarrer la 1ère piste à l'index 00 si présent (recommandé)",
                            "cbZeroIndex"));

  auto* xmcd = NewGroup(page, " XMCD ");
  auto* xmcdLayout = new QFormLayout(xmcd);
  xmcdLayout->addRow(QString::fromUtf8("séparateur titre piste/artiste:"),
                     BindEdit(xmcd, &TSettings::XMCDSEPTRACK, "edXmcdSepTrack"));
  xmcdLayout->addRow(QString::fromUtf8("séparateur titre disque/artiste:"),
                     BindEdit(xmcd, &TSettings::XMCDSEPDISC, "edXmcdSepDisc"));

  auto* plain = NewGroup(page, " Fichier texte ordinaire ");
  auto* plainFormat = BindRadioGroup(
      plain, &TSettings::PLAINTEXTFMT, " Format ",
      {QStringLiteral("time <separator> name"), QStringLiteral("name <separator> time")},
      "rgPlainTextFmt", nullptr);
  auto* sepLayout = new QFormLayout;
  sepLayout->addRow(QString::fromUtf8("séparateur:"),
                    BindEdit(plain, &TSettings::PLTXTSEP, "edPlainTextSep"));
  auto* plainLayout = new QHBoxLayout(plain);
  plainLayout->addWidget(plainFormat);
  plainLayout->addLayout(sepLayout);

  auto* top = new QHBoxLayout;
  top->addWidget(nameParser, 2);
  top->addWidget(replace, 3);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(top, 1);
  layout->addWidget(cue);
  layout->addWidget(xmcd);
  layout->addWidget(plain);
  return page;
}

QWidget* TfrmSettings::BuildSpecificPage() {
  auto* page = new QWidget;
  auto* mpeg = NewGroup(page, " MPEG ");
  auto* skipVbrHeader = BindCheck(mpeg, &TSettings::SKIPVBRHEADER, "Sauter entête VBR (si présent)",
                                  "cbSkipVbrHeader");
  auto* xingHeader =
      BindCheck(mpeg, &TSettings::XINGHEADER,
                "Écrire un entête VBR (Xing/LAME) dans chaque fichier", "cbXingHeader");
  auto* tag = BindRadioGroup(mpeg, &TSettings::ID3V1TAG, " TAG ID3v1 (si présent) ",
                             {QStringLiteral("sauter"), QStringLiteral("conserver"),
                              QStringLiteral("copier dans chaque fragment")},
                             "rgId3v1Tag", nullptr);
  auto* id3v2Tag =
      BindCheck(mpeg, &TSettings::ID3V2TAG,
                "TAG ID3v2 dans chaque fragment (titre, artiste, album, piste)", "cbId3v2Tag");
  auto* adjust =
      BindRadioGroup(mpeg, &TSettings::ADJUSTSTART, " Ajuster le point de coupe à la frame mpeg ",
                     {QString::fromUtf8("précédente"), QStringLiteral("la plus proche"),
                      QStringLiteral("suivante"), QStringLiteral("exacte")},
                     "rgAdjustStart", nullptr);
  auto* mpegLayout = new QVBoxLayout(mpeg);
  mpegLayout->addWidget(skipVbrHeader);
  mpegLayout->addWidget(xingHeader);
  mpegLayout->addWidget(id3v2Tag);
  auto* groups = new QHBoxLayout;
  groups->addWidget(tag);
  groups->addWidget(adjust);
  mpegLayout->addLayout(groups);

  auto* vorbis = NewGroup(page, " Vorbis ");
  edVcutExe_ = BindEdit(vorbis, &TSettings::VCUTEXE, "edVcutExe");
  bindings_.back().FullOnly = true;
  auto* browse = new QToolButton(vorbis);
  browse->setObjectName(QStringLiteral("btnVcutExe"));
  browse->setText(QStringLiteral("..."));
  connect(browse, &QToolButton::clicked, this, &TfrmSettings::ChooseCutter);
  auto* vorbisLayout = new QHBoxLayout(vorbis);
  // The external cutter, by its program name.
  vorbisLayout->addWidget(new QLabel(QStringLiteral("vcut:"), vorbis));
  vorbisLayout->addWidget(edVcutExe_, 1);
  vorbisLayout->addWidget(browse);

  // Track lists that are not UTF-8 come from rippers that write in their language's code page.
  auto* lists = NewGroup(page, " Listes de pistes ");
  (new QFormLayout(lists))
      ->addRow(QString::fromUtf8("Page de code (listes hors UTF-8) :"),
               BindCodePages(lists, &TSettings::LISTCODEPAGE, "cbListCodePage"));

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(mpeg);
  layout->addWidget(vorbis);
  layout->addWidget(lists);
  layout->addWidget(BuildPauseGroup(page));
  layout->addStretch();
  return page;
}

QGroupBox* TfrmSettings::BuildPauseGroup(QWidget* page) {
  auto* group = NewGroup(page, " Détection des pauses ");
  auto* form = new QFormLayout(group);
  form->addRow(QString::fromUtf8("Seuil (dBFS) :"),
               BindSpin(group, &TSettings::SILENCEDB, "sbSilenceDb", 1));
  form->addRow(QString::fromUtf8("Durée minimale d'une pause (ms) :"),
               BindSpin(group, &TSettings::SILENCEMIN, "sbSilenceMin", 100));
  form->addRow(QString::fromUtf8("Coupe dans la pause (% de sa durée) :"),
               BindSpin(group, &TSettings::SILENCEPOS, "sbSilencePos", 5));
  form->addRow(QString::fromUtf8("Durée minimale d'une piste (ms) :"),
               BindSpin(group, &TSettings::TRACKMIN, "sbTrackMin", 1000));
  // "Écouter la coupe" plays this long on either side of the cut point.
  form->addRow(QString::fromUtf8("Écouter la coupe, de chaque côté (ms) :"),
               BindSpin(group, &TSettings::HEARCUT, "sbHearCut", 500));
  auto* snapQuiet =
      BindCheck(group, &TSettings::SNAPQUIET,
                "Caler les points posés sur la forme d'onde au plus calme", "cbSnapQuiet");
  snapQuiet->setToolTip(QString::fromUtf8(
      "Un point ajouté au curseur ou lâché à la souris va aux 10 ms les plus calmes de la "
      "demi-seconde autour (S le fait pour le point choisi)"));
  form->addRow(snapQuiet);
  return group;
}

QCheckBox* TfrmSettings::BindCheck(QWidget* parent, bool TSettings::*field, const char* caption,
                                   const char* name) {
  auto* box = NewCheck(parent, caption, name);
  bindings_.push_back({[box, field](const TSettings& s) { box->setChecked(s.*field); },
                       [box, field](TSettings& s) { s.*field = box->isChecked(); }});
  return box;
}

QCheckBox* TfrmSettings::BindCheck(QWidget* parent, int32_t TSettings::*field, const char* caption,
                                   const char* name) {
  auto* box = NewCheck(parent, caption, name);
  bindings_.push_back({[box, field](const TSettings& s) { box->setChecked(s.*field == 1); },
                       [box, field](TSettings& s) { s.*field = box->isChecked() ? 1 : 0; }});
  return box;
}

QLineEdit* TfrmSettings::BindEdit(QWidget* parent, std::string TSettings::*field,
                                  const char* name) {
  auto* edit = NewEdit(parent, name);
  bindings_.push_back({[edit, field](const TSettings& s) { edit->setText(ToQ(s.*field)); },
                       [edit, field](TSettings& s) { s.*field = ToStd(edit); }});
  return edit;
}

QGroupBox* TfrmSettings::BindRadioGroup(QWidget* parent, int32_t TSettings::*field,
                                        const char* title, const QStringList& items,
                                        const char* name, QButtonGroup** group) {
  QButtonGroup* radios = nullptr;
  QGroupBox* box = NewRadioGroup(parent, title, items, name, radios);
  bindings_.push_back({[radios, field](const TSettings& s) { SelectRadio(radios, s.*field); },
                       [radios, field](TSettings& s) { s.*field = radios->checkedId(); }});
  if (group)
    *group = radios;
  return box;
}

QSpinBox* TfrmSettings::BindSpin(QWidget* parent, int32_t TSettings::*field, const char* name,
                                 int step) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(QString::fromUtf8(name));
  const TSettingRow* row = RowOfField(field);
  if (row && row->Range)
    box->setRange(row->Range->Low, row->Range->High);
  box->setSingleStep(step);
  bindings_.push_back({[box, field](const TSettings& s) { box->setValue(s.*field); },
                       [box, field](TSettings& s) { s.*field = box->value(); }});
  return box;
}

QComboBox* TfrmSettings::BindCodePages(QWidget* parent, int32_t TSettings::*field,
                                       const char* name) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QString::fromUtf8(name));
  for (const TCodePageChoice& choice : ListCodePageChoices())
    box->addItem(QString::fromUtf8(choice.Label), choice.Number);
  bindings_.push_back({[box, field](const TSettings& s) {
                         box->setCurrentIndex(std::max(0, box->findData(s.*field)));
                       },
                       [box, field](TSettings& s) { s.*field = box->currentData().toInt(); }});
  return box;
}

void TfrmSettings::BuildButtons() {
  auto make = [this](const char* caption, const char* name) {
    auto* button = new QPushButton(QString::fromUtf8(caption), this);
    button->setObjectName(QString::fromUtf8(name));
    button->setAutoDefault(false);
    return button;
  };
  btnDefaults_ = make("Restaurer", "btnDefaults");
  btnCancel_ = make("Annuler", "btnCancel");
  btnExit_ = make("Quitter", "btnExit");
  btnSave_ = make("Sauver", "btnSave");
  btnSave_->setDefault(true);  // Enter in any edit saves
  connect(btnDefaults_, &QPushButton::clicked, this, &TfrmSettings::RestoreDefaults);
  connect(btnCancel_, &QPushButton::clicked, this, &TfrmSettings::reject);
  connect(btnExit_, &QPushButton::clicked, this, &TfrmSettings::Apply);
  connect(btnSave_, &QPushButton::clicked, this, &TfrmSettings::Save);

  auto* row = new QHBoxLayout;
  row->addStretch();
  for (QPushButton* button : {btnDefaults_, btnCancel_, btnExit_, btnSave_})
    row->addWidget(button);
  static_cast<QVBoxLayout*>(layout())->addLayout(row);
}

TfrmSettings::TSettingsResult TfrmSettings::Execute() {
  ShowSettingsInDialog(true);
  btnCancel_->setEnabled(true);
  result_ = SettingsCancelled;
  exec();
  return result_;
}

void TfrmSettings::ShowSettingsInDialog(bool full) {
  const TSettings& s = Settings();
  if (full)
    pairEditor_->SetPairs(ReplacementList());
  for (const TFieldBinding& binding : bindings_) {
    if (full || !binding.FullOnly)
      binding.Show(s);
  }
  pairEditor_->UpdatePairActions();
}

void TfrmSettings::TakeSettingsFromDialog() {
  ReplacementList() = pairEditor_->Pairs();
  TSettings& s = Settings();
  for (const TFieldBinding& binding : bindings_)
    binding.Take(s);
}

void TfrmSettings::UpdateTimePreview() {
  const QTime now = QTime::currentTime();
  const int32_t seconds = now.hour() * 3600 + now.minute() * 60 + now.second();
  // The last digit moves so that the preview looks alive; it never shows 9.
  const int32_t millis = now.msec() / 10 * 10 + QRandomGenerator::global()->bounded(9);
  const int32_t frames = millis * kCdFramesPerSecond / 1000;
  lPreview_->setText(ToQ(FormatTimeWith(seconds, millis, frames, rgTimeType_->checkedId(),
                                        cbShowHours_->isChecked(), ToStd(edTimeH_), ToStd(edTimeM_),
                                        ToStd(edTimeS_), ToStd(edTimeMs_), ToStd(edTimeF_))));
}

QString TfrmSettings::PreviewText() const {
  return lPreview_->text();
}

void TfrmSettings::Save() {
  TakeSettingsFromDialog();
  const TSettingsFiles files = iniFiles_();
  switch (SaveSettingsIn(files, true)) {
    case TSaveOutcome::Saved:
      Finish(SettingsSaved);
      return;
    case TSaveOutcome::SavedToFallback:
      // Saved all the same, but not where the user may look for them.
      if (!std::exchange(toldFallback_, true)) {
        QMessageBox::information(
            this, QString::fromUtf8(kApplicationTitle),
            QString::fromUtf8("Le fichier de réglages %1 ne peut pas être modifié : les réglages "
                              "sont enregistrés dans %2.")
                .arg(ToQ(files.Preferred), ToQ(files.Fallback)));
      }
      Finish(SettingsSaved);
      return;
    case TSaveOutcome::Failed:
      break;
  }
  // The record holds the new values all the same; the window must not claim they were saved.
  QMessageBox::warning(
      this, QString::fromUtf8(kApplicationTitle),
      QString::fromUtf8("Impossible d'enregistrer les réglages dans ") + ToQ(files.Preferred));
  Finish(SettingsApplied);
}

void TfrmSettings::Apply() {
  TakeSettingsFromDialog();
  Finish(SettingsApplied);
}

void TfrmSettings::RestoreDefaults() {
  TPairList pairs = pairEditor_->Pairs();
  ApplyDefaults(pairs);
  pairEditor_->SetPairs(pairs);
  ShowSettingsInDialog(false);
  // The record has already changed: there is nothing left to cancel.
  btnCancel_->setEnabled(false);
}

void TfrmSettings::ChooseCutter() {
  if (const std::optional<QString> chosen = chooseFile_(edVcutExe_->text()))
    edVcutExe_->setText(*chosen);
}

void TfrmSettings::Finish(TSettingsResult result) {
  result_ = result;
  done(result == SettingsCancelled ? QDialog::Rejected : QDialog::Accepted);
}

void TfrmSettings::keyPressEvent(QKeyEvent* event) {
  // Escape stands for "Annuler" and does nothing while that button is disabled.
  if (event->key() == Qt::Key_Escape && !btnCancel_->isEnabled()) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TfrmSettings::reject() {
  result_ = SettingsCancelled;
  QDialog::reject();
}

void TfrmSettings::showEvent(QShowEvent* event) {
  UpdateTimePreview();
  previewTimer_->start();
  QDialog::showEvent(event);
}

void TfrmSettings::hideEvent(QHideEvent* event) {
  // Nobody sees the preview while the dialog is hidden.
  previewTimer_->stop();
  QDialog::hideEvent(event);
}

}  // namespace zembrio
