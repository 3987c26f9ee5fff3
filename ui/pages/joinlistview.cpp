#include "ui/pages/joinlistview.h"

#include <QColor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>

#include "ui/pages/joinpage.h"

namespace zembrio {

namespace {

const QColor kRowColour(240, 240, 240);
const QString kRowsMimeType = QStringLiteral("application/x-zembrio-join-rows");
constexpr int kColumnGap = 12;

}  // namespace

int TJoinListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(list_.size());
}

int TJoinListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 3;
}

QVariant TJoinListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount())
    return {};
  const TJoinItem& item = list_[static_cast<size_t>(index.row())];
  if (role == Qt::BackgroundRole)
    return kRowColour;
  if (role != Qt::DisplayRole)
    return {};
  switch (index.column()) {
    case 0:
      return QString::fromStdString(item.Name);
    case 1:
      return QString::fromStdString(item.Folder);
    default:
      return QString::fromStdString(item.Status);
  }
}

QVariant TJoinListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return {};
  static const char* const captions[] = {"Nom", "Chemin", "Statut"};
  return section >= 0 && section < 3 ? QString::fromUtf8(captions[section]) : QVariant();
}

Qt::ItemFlags TJoinListModel::flags(const QModelIndex& index) const {
  if (!index.isValid())
    return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList TJoinListModel::mimeTypes() const {
  return {kRowsMimeType};
}

QMimeData* TJoinListModel::mimeData(const QModelIndexList&) const {
  // The drop reads the selection of the list itself; the data only marks the drag.
  auto* data = new QMimeData;
  data->setData(kRowsMimeType, {});
  return data;
}

TJoinListView::TJoinListView(TJoinPage& page, QWidget* parent) : QTreeView(parent), page_(page) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDefaultDropAction(Qt::CopyAction);
  header()->setSectionsClickable(false);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  header()->setStretchLastSection(true);
}

int TJoinListView::sizeHintForColumn(int column) const {
  return QTreeView::sizeHintForColumn(column) + kColumnGap;
}

void TJoinListView::dragEnterEvent(QDragEnterEvent* event) {
  if (page_.AcceptsDragFrom(event->source()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TJoinListView::dragMoveEvent(QDragMoveEvent* event) {
  if (!page_.AcceptsDragFrom(event->source())) {
    event->ignore();
    return;
  }
  QTreeView::dragMoveEvent(event);  // draws the drop indicator
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void TJoinListView::dropEvent(QDropEvent* event) {
  if (!page_.AcceptsDragFrom(event->source())) {
    event->ignore();
    return;
  }
  page_.DropOn(event->source(), event->position().toPoint());
  // A copy action keeps the view from removing the dragged rows a second time.
  event->setDropAction(Qt::CopyAction);
  event->accept();
  stopAutoScroll();
  setState(NoState);
  viewport()->update();
}

}  // namespace zembrio
