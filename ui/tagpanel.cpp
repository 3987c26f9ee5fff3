#include "ui/tagpanel.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "cut/runfeedback.h"
#include "cutlist/cutpoint.h"
#include "ui/cutgrid.h"

namespace zembrio {

namespace {

// Only a changed text is put back, so that the cursor of the field being typed in stays.
void Show(QLineEdit* edit, const std::string& text) {
  const QString value = QString::fromStdString(text);
  if (edit->text() != value)
    edit->setText(value);
}

void AddField(QGridLayout* layout, int row, int column, const char* label, QLineEdit* edit) {
  auto* caption = new QLabel(label);
  caption->setBuddy(edit);
  layout->addWidget(caption, row, column);
  layout->addWidget(edit, row, column + 1);
}

}  // namespace

TTagPanel::TTagPanel(TCutGrid* grid, QWidget* parent)
    : QGroupBox(parent),
      grid_(grid),
      edAlbum_(NewField("edTagAlbum")),
      edAlbumArtist_(NewField("edTagAlbumArtist")),
      edDate_(NewField("edTagDate")),
      edGenre_(NewField("edTagGenre")),
      edTitle_(NewField("edTagTitle")),
      edArtist_(NewField("edTagArtist")) {
  setObjectName("GbTags");
  // The toolbar's checked "Étiquettes" names the panel: a title line would take the height
  // of a grid row.
  setAccessibleName("Étiquettes");
  // The selected row's fields first, where the eye comes from the grid; two rows keep the
  // strip and the grid tall enough to work in at the window's usual height.
  auto* layout = new QGridLayout(this);
  layout->setVerticalSpacing(2);
  layout->setContentsMargins(6, 2, 6, 2);
  AddField(layout, 0, 0, "Titre:", edTitle_);
  AddField(layout, 0, 2, "Artiste:", edArtist_);
  AddField(layout, 0, 4, "Date:", edDate_);
  AddField(layout, 1, 0, "Album:", edAlbum_);
  AddField(layout, 1, 2, "Artiste de l'album:", edAlbumArtist_);
  AddField(layout, 1, 4, "Genre:", edGenre_);
  layout->setColumnStretch(1, 2);
  layout->setColumnStretch(3, 2);
  layout->setColumnStretch(5, 1);
  connect(grid_, &TCutGrid::GridActionsChanged, this, &TTagPanel::Reload);
}

QLineEdit* TTagPanel::NewField(const char* name) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(name);
  connect(edit, &QLineEdit::textEdited, this, &TTagPanel::TakeEdits);
  connect(edit, &QLineEdit::editingFinished, this, &TTagPanel::TagsEdited);
  return edit;
}

void TTagPanel::Reload() {
  setEnabled(list_ && (!state_ || state_->Idle));
  if (!list_)
    return;
  Show(edAlbum_, list_->Album.Album);
  Show(edAlbumArtist_, list_->Album.AlbumArtist);
  Show(edDate_, list_->Album.Date);
  Show(edGenre_, list_->Album.Genre);
  const TCutPoint* point = list_->Item(grid_->SelectedRow() - 1);
  edTitle_->setEnabled(point != nullptr);
  edArtist_->setEnabled(point != nullptr);
  Show(edTitle_, point ? point->Title : std::string());
  Show(edArtist_, point ? point->Artist : std::string());
  edTitle_->setPlaceholderText(point ? QString::fromStdString(point->Name) : QString());
  edArtist_->setPlaceholderText(QString::fromStdString(list_->Album.AlbumArtist));
}

void TTagPanel::TakeEdits() {
  if (!list_)
    return;
  list_->Album = {edAlbum_->text().toStdString(), edAlbumArtist_->text().toStdString(),
                  edDate_->text().toStdString(), edGenre_->text().toStdString()};
  if (TCutPoint* point = list_->Item(grid_->SelectedRow() - 1)) {
    point->Title = edTitle_->text().toStdString();
    point->Artist = edArtist_->text().toStdString();
  }
  edArtist_->setPlaceholderText(edAlbumArtist_->text());
}

}  // namespace zembrio
