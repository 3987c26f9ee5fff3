// The editor of the replacement pairs on the "Analyseur" page: the pair list drawn by
// DrawPairItem, its toolbar and context menu. It works on a working copy; the settings
// dialog decides when the copy becomes ReplacementList().
#pragma once

#include <QStyledItemDelegate>
#include <QWidget>
#include <string>

#include "core/settings.h"

class QAction;
class QListWidget;

namespace zembrio {

// Draws one pair: source, arrow, replacement, on a grey band with a white line on top.
class TPairItemDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class TPairListEditor : public QWidget {
  Q_OBJECT

 public:
  explicit TPairListEditor(QWidget* parent = nullptr);

  // Replaces the working copy; the list then has no selection.
  void SetPairs(const TPairList& pairs);
  const TPairList& Pairs() const { return pairs_; }

  // -1 when no entry is selected.
  int SelectedIndex() const;
  void SelectIndex(int index);

  // Runs the pair editor for a new pair or for the selected entry and stores the result.
  void EditPair(bool isNew);
  // Puts one pair into the working copy: an entry with the same source is replaced in
  // place; otherwise a new pair is appended and an edited one replaces the selected entry.
  void StorePair(bool isNew, const std::string& source, const std::string& replacement);
  void DeleteSelectedPair();
  // "Standard": the default pairs updated or appended, other entries kept.
  void AddStandardPairs();
  void UpdatePairActions();

  QListWidget* List() const { return list_; }
  QAction* acRCAdd = nullptr;
  QAction* acRCEdit = nullptr;
  QAction* acRCDelete = nullptr;
  QAction* acRCDefault = nullptr;

 private:
  void Refill();
  int IndexOfSource(const std::string& encodedSource) const;

  TPairList pairs_;
  QListWidget* list_ = nullptr;
};

}  // namespace zembrio
