#include "ui/cutgrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <algorithm>
#include <climits>

#include "core/settings.h"
#include "core/timevalue.h"
#include "cut/runfeedback.h"
#include "cutlist/gridmodel.h"
#include "ui/qtext.h"

namespace zembrio {

namespace {

constexpr int kColumnCount = static_cast<int>(kGridCaptions.size());

}  // namespace

// Draws the cells in the grid's colours and hands every keystroke of the editor to the
// grid, so that a cut point follows its text while it is typed.
class TCutGridDelegate : public QStyledItemDelegate {
 public:
  explicit TCutGridDelegate(TCutGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    const int row = index.row(), column = index.column();
    grid_->OnEditStarted(row);
    QObject::connect(editor, &QLineEdit::textEdited, grid_, [this, row, column](const QString& t) {
      grid_->OnEditorTextChanged(row, column, t);
    });
    (void)option;
    return editor;
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    if (option.state & QStyle::State_Selected) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    painter->fillRect(option.rect, grid_->RowColor(index.row() + 1));
    painter->setPen(option.palette.color(grid_->isEnabled() ? QPalette::Active : QPalette::Disabled,
                                         QPalette::Text));
    const QRect textRect = option.rect.adjusted(2, 2, -1, 0);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      index.data().toString());
  }

 private:
  TCutGrid* grid_;
};

TCutGrid::TCutGrid(QWidget* parent) : QTableWidget(0, kColumnCount, parent) {
  setObjectName("StringGrid1");
  setItemDelegate(new TCutGridDelegate(this));
  verticalHeader()->hide();
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionsClickable(false);
  for (int column = 0; column < kColumnCount; ++column)
    setColumnWidth(column, kGridColumnWidths[static_cast<size_t>(column)]);
  // The names take what the window gives beyond the four widths (see resizeEvent), and the
  // status column what is left, so the rows and captions run to the grid's right edge.
  horizontalHeader()->setStretchLastSection(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
  setWordWrap(false);
  // Tab leaves the grid for the next part of the window; the arrows move between cells.
  setTabKeyNavigation(false);
  ResetColumnCaptions(false);
  connect(this, &QTableWidget::currentCellChanged, this, [this](int row) {
    if (!refreshing_)
      OnCellSelected(row);
    emit GridActionsChanged();
  });
}

void TCutGrid::SetRowHeight(int height) {
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(height);
  for (int row = 0; row < rowCount(); ++row)
    setRowHeight(row, height);
}

bool TCutGrid::IsIdle() const {
  return state_ && state_->Idle;
}

QColor TCutGrid::RowColor(int row) const {
  const TRgb colour = RowColour(ToStd(CellText(row, Settings().ColName)));
  return QColor(colour.Red, colour.Green, colour.Blue);
}

void TCutGrid::SetCell(int row, int column, const QString& text, bool editable) {
  QTableWidgetItem* cell = item(row, column);
  if (!cell) {
    cell = new QTableWidgetItem;
    setItem(row, column, cell);
  }
  cell->setText(text);
  Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
  if (editable)
    flags |= Qt::ItemIsEditable;
  cell->setFlags(flags);
}

void TCutGrid::RefreshGrid() {
  if (!list_)
    return;
  refreshing_ = true;
  const std::vector<TGridRowText> rows = GridRowTexts(*list_);
  setRowCount(static_cast<int>(rows.size()));
  const TSettings& settings = Settings();
  for (int row = 0; row < rowCount(); ++row) {
    const TGridRowText& text = rows[static_cast<size_t>(row)];
    SetCell(row, settings.ColStart, ToQ(text.Start), IsCellEditable(settings.ColStart, row + 1));
    SetCell(row, settings.ColName, ToQ(text.Name), IsCellEditable(settings.ColName, row + 1));
    SetCell(row, settings.ColDuration, ToQ(text.Duration), false);
    QTableWidgetItem* status = item(row, settings.ColStatus);
    SetCell(row, settings.ColStatus, status ? status->text() : QString(), false);
  }
  refreshing_ = false;
  viewport()->update();
  emit GridActionsChanged();
}

void TCutGrid::ResetColumnCaptions(bool statusOnly) {
  const int status = Settings().ColStatus;
  for (int column = 0; column < kColumnCount; ++column) {
    if (statusOnly && column != status)
      continue;
    setHorizontalHeaderItem(column,
                            new QTableWidgetItem(kGridCaptions[static_cast<size_t>(column)]));
    for (int row = 0; row < rowCount(); ++row) {
      if (QTableWidgetItem* cell = item(row, column))
        cell->setText({});
    }
  }
}

void TCutGrid::SetRowStatus(int row, const QString& status) {
  if (row < 1 || row > rowCount())
    return;
  const int column = Settings().ColStatus;
  if (QTableWidgetItem* cell = item(row - 1, column))
    cell->setText(status);
  else
    SetCell(row - 1, column, status, false);
}

QString TCutGrid::CellText(int row, int column) const {
  if (row == 0)
    return horizontalHeaderItem(column) ? horizontalHeaderItem(column)->text() : "";
  const QTableWidgetItem* cell = item(row - 1, column);
  return cell ? cell->text() : QString();
}

void TCutGrid::SelectRow(int row) {
  if (row < 1 || row > rowCount())
    return;
  const int column = currentColumn() < 0 ? 0 : currentColumn();
  if (currentRow() == row - 1) {
    OnCellSelected(row - 1);
  } else {
    setCurrentCell(row - 1, column);
  }
}

void TCutGrid::SelectRowQuietly(int row) {
  if (row < 1 || row > rowCount())
    return;
  refreshing_ = true;
  setCurrentCell(row - 1, currentColumn() < 0 ? 0 : currentColumn());
  refreshing_ = false;
  scrollToItem(currentItem());
}

int TCutGrid::SetStartTime(int row, int64_t ms) {
  TCutPoint* point = list_ ? list_->Item(row - 1) : nullptr;
  if (!point || !IsIdle() || !IsCellEditable(Settings().ColStart, row) || ms < 0 ||
      ms / 1000 > INT32_MAX)
    return 0;
  TTimeValue time;
  SetMilliseconds(time, static_cast<int32_t>(ms / 1000), static_cast<int32_t>(ms % 1000));
  ApplyStartCellText(*point, FormatCutPoint(time));
  list_->SortByTime();
  const int newRow = list_->IndexOf(point) + 1;
  SelectRow(newRow);
  RefreshGrid();
  return newRow;
}

void TCutGrid::OnCellSelected(int row) {
  if (!list_ || row < 0)
    return;
  // An unedited new row goes as soon as another row is selected.
  const TCutPoint* point = list_->Item(row);
  if (point && !point->IsNew)
    list_->PurgeNew();
  list_->SortByTime();
  RefreshGrid();
}

void TCutGrid::OnEditStarted(int row) {
  editRow_ = row;
  editChanged_ = false;
  if (const TCutPoint* point = list_ ? list_->Item(row) : nullptr) {
    AssignTime(editOriginal_, *point);
    editOriginal_.Name = point->Name;
    editOriginal_.IsNew = point->IsNew;
  }
}

void TCutGrid::OnEditorTextChanged(int row, int column, const QString& text) {
  TCutPoint* point = list_ ? list_->Item(row) : nullptr;
  if (!point)
    return;
  editChanged_ = true;
  const TSettings& settings = Settings();
  if (column == settings.ColStart) {
    try {
      ApplyStartCellText(*point, ToStd(text));
    } catch (const TConversionError& error) {
      ReportLater(error.what());
    }
  } else if (column == settings.ColName) {
    ApplyNameCellText(*point, ToStd(text));
  }
  ResetColumnCaptions(true);
}

// The message box runs an event loop of its own, in which the editor that is emitting this
// keystroke can lose its focus, close and be deleted; so the report waits until the keystroke
// has been handled.
void TCutGrid::ReportLater(const std::string& message) {
  if (!feedback_)
    return;
  QTimer::singleShot(0, this, [this, message] {
    if (feedback_)
      feedback_->ReportError(message);
  });
}

void TCutGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  QTableWidget::closeEditor(editor, hint);
  const int row = editRow_;
  editRow_ = -1;
  if (!list_ || row < 0)
    return;
  TCutPoint* edited = list_->Item(row);
  if (!edited)
    return;
  // Escape gives the cell its old text back, and so the cut point its old value.
  if (hint == QAbstractItemDelegate::RevertModelCache && editChanged_) {
    AssignTime(*edited, editOriginal_);
    edited->Name = editOriginal_.Name;
    edited->IsNew = editOriginal_.IsNew;
  }
  list_->SortByTime();
  SelectRow(list_->IndexOf(edited) + 1);
  RefreshGrid();
  viewport()->update();
  ResetColumnCaptions(true);
}

void TCutGrid::resizeEvent(QResizeEvent* event) {
  QTableWidget::resizeEvent(event);
  int others = 0;
  for (int column = 0; column < kColumnCount; ++column) {
    if (column != Settings().ColName)
      others += kGridColumnWidths[static_cast<size_t>(column)];
  }
  const int name = kGridColumnWidths[static_cast<size_t>(Settings().ColName)];
  setColumnWidth(Settings().ColName, std::max(name, viewport()->width() - others));
}

void TCutGrid::keyPressEvent(QKeyEvent* event) {
  // Tab leaves the grid for the next part of the window, as everywhere else in it.
  const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
  if (tab && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
      state() != QAbstractItemView::EditingState) {
    const bool forward = event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier);
    focusNextPrevChild(forward);
    return;
  }
  if (event->key() == Qt::Key_Down && event->modifiers() == Qt::NoModifier &&
      currentRow() == rowCount() - 1 && state() != QAbstractItemView::EditingState) {
    emit AppendRowRequested();
    return;
  }
  QTableWidget::keyPressEvent(event);
}

}  // namespace zembrio
