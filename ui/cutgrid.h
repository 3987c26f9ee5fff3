// StringGrid1: the editor of the cut list. One row per cut point (start, name, fragment
// duration, status); typed starts and names go straight into the cut points, and the list
// is kept sorted and starting at 0 s.
#pragma once

#include <QTableWidget>
#include <cstdint>
#include <string>

#include "cutlist/cutpoint.h"

namespace zembrio {

class IRunFeedback;
struct TRunState;

class TCutGrid : public QTableWidget {
  Q_OBJECT

 public:
  explicit TCutGrid(QWidget* parent = nullptr);

  void SetList(TCPList* list) { list_ = list; }
  void SetRunState(const TRunState* state) { state_ = state; }
  void SetFeedback(IRunFeedback* feedback) { feedback_ = feedback; }
  void SetRowHeight(int height);

  // Rows are counted as the engines count them: row 0 holds the captions, row i + 1 shows
  // cut point i.
  void RefreshGrid();
  void ResetColumnCaptions(bool statusOnly);
  void SetRowStatus(int row, const QString& status);
  QString CellText(int row, int column) const;
  int SelectedRow() const { return currentRow() + 1; }
  // Selects a row as a user would, with the selection rules (purge, sort, refresh).
  void SelectRow(int row);
  // Moves the highlight only: a running cut keeps its list untouched.
  void SelectRowQuietly(int row);
  bool IsIdle() const;
  // Gives the cut point of a data row a new start as if the time had been typed into its
  // cell: the list is sorted, the row selected where it went and the durations follow.
  // Returns the row it went to; the zero row and a running cut are left alone (0).
  int SetStartTime(int row, int64_t ms);
  // The fill colour of a data row: light grey for a named fragment, darker when skipped.
  QColor RowColor(int row) const;

 signals:
  // The selected row or the busy state changed: "Retirer" and the links follow it.
  void GridActionsChanged();
  // Down arrow on the last row.
  void AppendRowRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

 private:
  friend class TCutGridDelegate;
  void OnCellSelected(int row);
  void OnEditorTextChanged(int row, int column, const QString& text);
  void ReportLater(const std::string& message);
  void OnEditStarted(int row);
  void SetCell(int row, int column, const QString& text, bool editable);

  TCPList* list_ = nullptr;
  const TRunState* state_ = nullptr;
  IRunFeedback* feedback_ = nullptr;
  bool refreshing_ = false;
  int editRow_ = -1;
  bool editChanged_ = false;
  TCutPoint editOriginal_;  // the cut point as it was when the edit began
};

}  // namespace zembrio
