// "Fichier de la liste": a CUE sheet that describes several files, none of them the
// source, lists them here with their counts of tracks, so the user picks the one whose
// tracks go into the grid.
#pragma once

#include <QDialog>
#include <vector>

#include "import/cuesheet.h"

class QListWidget;
class QPushButton;

namespace zembrio {

class TfrmCueFileChoice : public QDialog {
  Q_OBJECT

 public:
  TfrmCueFileChoice(const QString& sheetName, const std::vector<TCueFile>& files,
                    QWidget* parent = nullptr);

  // The number of the chosen file in the sheet (1, 2 ...), as --cue-file takes it; 0 when
  // none is selected.
  int ChosenNumber() const;
  QListWidget* FileList() const { return files_; }

 private:
  QListWidget* files_;
  QPushButton* btnOk_;
  QPushButton* btnCancel_;
};

}  // namespace zembrio
