// The tags of the cut beside the grid: the album-wide fields of the cut list and the title
// and artist of the selected row, as an import filled them, for the user to correct before
// cutting. Empty fields fall back as the tags do: the name for the title, the album artist
// for the artist.
#pragma once

#include <QGroupBox>

class QLineEdit;

namespace zembrio {

class TCPList;
class TCutGrid;
struct TRunState;

class TTagPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit TTagPanel(TCutGrid* grid, QWidget* parent = nullptr);

  void SetList(TCPList* list) { list_ = list; }
  void SetRunState(const TRunState* state) { state_ = state; }
  // Shows the list's fields and the selected row's; the grid calls for it after each
  // refresh and selection.
  void Reload();

 signals:
  // The user has finished editing a field: the list's tags have changed.
  void TagsEdited();

 private:
  QLineEdit* NewField(const char* name);
  void TakeEdits();

  TCutGrid* grid_;
  TCPList* list_ = nullptr;
  const TRunState* state_ = nullptr;
  QLineEdit* edAlbum_;
  QLineEdit* edAlbumArtist_;
  QLineEdit* edDate_;
  QLineEdit* edGenre_;
  QLineEdit* edTitle_;
  QLineEdit* edArtist_;
};

}  // namespace zembrio
