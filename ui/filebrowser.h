// The file-box strip: the drive box (mounted volumes) drives the folder tree, which drives
// the file list of MPEG and Ogg sources.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include "ui/pages/joinpage.h"

class QComboBox;
class QFileSystemModel;
class QFileSystemWatcher;
class QListWidget;
class QListWidgetItem;
class QTreeView;

namespace zembrio {

// Mounted volumes to offer in the drive box: root first, then home, then other mounts.
QStringList MountedVolumes();

class TFileBrowser : public QWidget, public IJoinFileSource {
  Q_OBJECT

 public:
  explicit TFileBrowser(QWidget* parent = nullptr);

  // The folder shown in the folder tree, with a trailing "/".
  QString CurrentFolder() const override { return folder_; }
  // Shows folder (an existing one) in the tree and its sources in the file list.
  void SetFolder(const QString& folder);
  // Full path of the selected file, empty when none.
  QString SelectedFile() const;
  QStringList SelectedFiles() const;
  // Selects the file of that name in the list; false when it is not listed.
  bool SelectFile(const QString& fileName);
  // Join page: several selections and dragging; cut page: a single selection.
  void SetMultiSelect(bool multi);
  // The folder tree and the file list follow the busy state; the drive box does not.
  void SetListsEnabled(bool enabled);

  // What the join page reads of the browser.
  QStringList FileNames() const override;
  QList<int> SelectedIndexes() const override;
  int FocusedIndex() const override;
  const QWidget* DragSource() const override;

  QComboBox* DriveComboBox1() const { return drives_; }
  QTreeView* DirectoryListBox1() const { return tree_; }
  QListWidget* FileListBox1() const { return files_; }

 signals:
  void FileSelected(const QString& path);
  void FileDoubleClicked(const QString& path);
  // The list was filled anew and the selected file is another one or none (another
  // folder, or the file was deleted): path, empty for none.
  void SelectedFileReplaced(const QString& path);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ArrangeFileBoxes();
  void FillDrives();
  void OnDriveChosen(int index);
  void OnTreeFolderChosen();
  void RefreshFiles();
  void RefillFiles(const QString& keep);
  void ShowFolderInTree();

  QString folder_;
  QComboBox* drives_;
  QTreeView* tree_;
  QFileSystemModel* treeModel_;
  QListWidget* files_;
  QFileSystemWatcher* watcher_;
};

}  // namespace zembrio
