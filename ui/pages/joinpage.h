// The join page "Fichiers à joindre": the list of files to join (LVJoin), the name of the
// file to create and the page's actions. The page owns the join list; the main window
// hands it the file browser through IJoinFileSource and starts the join with JoinNow.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "join/join.h"

class QAction;
class QLineEdit;
class QToolButton;

namespace zembrio {

// What the join page needs to know about the main window's file browser.
class IJoinFileSource {
 public:
  virtual ~IJoinFileSource() = default;
  // The folder the browser shows (a trailing "/" is added when missing).
  virtual QString CurrentFolder() const = 0;
  // The file names listed, in list order.
  virtual QStringList FileNames() const = 0;
  // Indexes of the selected files, in list order.
  virtual QList<int> SelectedIndexes() const = 0;
  // Index of the focused file; -1 when none.
  virtual int FocusedIndex() const = 0;
  // The widget that starts drags of browser files (its drops are accepted by LVJoin).
  virtual const QWidget* DragSource() const = 0;
};

class TJoinListModel;
class TJoinListView;

class TJoinPage : public QWidget, public IJoinView {
  Q_OBJECT

 public:
  // Asks for the name of the file to create, starting from the current text;
  // nullopt when the user cancels. The default shows a save-file dialog.
  using TSaveNameChooser = std::function<std::optional<QString>(const QString& current)>;

  explicit TJoinPage(IJoinFileSource& files, QWidget* parent = nullptr);
  ~TJoinPage() override;

  // Adds the browser's file at fileIndex at position (negative: at the end); the index of
  // the new row, or nullopt when the file was refused for its extension.
  std::optional<int> AddJoinFile(int fileIndex, int position);
  // Double click in the browser while this page is active.
  void AddFocusedFile();
  void ResetJoinStatuses();
  // The "Joindre maintenant!" action; the browser's selected file takes part in choosing
  // the join mode (an Ogg file highlighted copies MPEG inputs byte for byte).
  TJoinOutcome JoinNow(TRunContext& ctx, const std::string& highlightedSource);

  // The page's actions (tag 0: disabled while an operation runs).
  QList<QAction*> Actions() const;
  // Disables the list and the name field during an operation.
  void SetBusy(bool busy);

  // Drag and drop of LVJoin: accepts drags from the browser and from the list itself;
  // a drop at point (viewport coordinates) inserts or moves rows before the row under it.
  bool AcceptsDragFrom(const QObject* source) const;
  void DropOn(const QObject* source, const QPoint& point);

  const TJoinList& Items() const { return list_; }
  QString JoinFileName() const;
  void SetJoinFileName(const QString& name);
  void SetSaveNameChooser(TSaveNameChooser chooser) { chooseSaveName_ = std::move(chooser); }
  QWidget* ListView() const;

  // IJoinView: the engine changed the status or selection of a row.
  void RowChanged(int index) override;

 private:
  void BuildActions();
  void BuildLayout();
  void AddSelectedFiles();
  void AddAllFiles();
  void DeleteSelectedRows();
  void DeleteAllRows();
  void ChooseJoinFileName();
  void MoveSelectedRowsBefore(int target);
  void AddBrowserFilesAt(int target);
  void TakeSelectionFromView();
  void ShowSelectionInView();
  void InsertRow(int position, const TJoinItem& item);
  void RemoveRow(int index);

  IJoinFileSource& files_;
  TJoinList list_;
  std::unique_ptr<TJoinListModel> model_;
  TJoinListView* view_ = nullptr;
  QLineEdit* editJoinFileName_ = nullptr;
  QAction* AJAdd_ = nullptr;
  QAction* AJDelete_ = nullptr;
  QAction* AJAddAll_ = nullptr;
  QAction* AJDeleteAll_ = nullptr;
  QAction* AJSetJoinFilename_ = nullptr;
  TSaveNameChooser chooseSaveName_;
  bool syncingSelection_ = false;
};

}  // namespace zembrio
