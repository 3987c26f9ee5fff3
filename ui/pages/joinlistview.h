// LVJoin: the join list shown as a report of three columns ("Nom", "Chemin", "Statut")
// on a light grey band, with rows dragged by the view itself and drops handed to the page.
#pragma once

#include <QAbstractTableModel>
#include <QTreeView>

#include "join/join.h"

namespace zembrio {

class TJoinPage;

// A read-only view of the page's join list; the page announces every change.
class TJoinListModel : public QAbstractTableModel {
 public:
  explicit TJoinListModel(const TJoinList& list) : list_(list) {}

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  // Rows are only ever copied by a drag; the page itself removes what it moves.
  Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

  void BeginReset() { beginResetModel(); }
  void EndReset() { endResetModel(); }
  void BeginInsert(int row) { beginInsertRows({}, row, row); }
  void EndInsert() { endInsertRows(); }
  void BeginRemove(int row) { beginRemoveRows({}, row, row); }
  void EndRemove() { endRemoveRows(); }
  void RowTextsChanged(int row) { emit dataChanged(index(row, 0), index(row, 2)); }

 private:
  const TJoinList& list_;
};

class TJoinListView : public QTreeView {
 public:
  TJoinListView(TJoinPage& page, QWidget* parent);

 protected:
  // The columns fit their texts with a gap, so that a name does not run into its folder.
  int sizeHintForColumn(int column) const override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  TJoinPage& page_;
};

}  // namespace zembrio
