#include "ui/filebrowser.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QListWidget>
#include <QMimeData>
#include <QStorageInfo>
#include <QTreeView>
#include <QUrl>

#include "format/sourcekind.h"
#include "ui/qtext.h"
#include "ui/windowrules.h"

namespace zembrio {

namespace {

constexpr int kPathRole = Qt::UserRole;

QString WithSlash(QString folder) {
  if (!folder.endsWith('/'))
    folder += '/';
  return folder;
}

// System mounts that hold no music: kernel file systems, the run-time folders and
// container bind mounts of single files.
bool IsUserVolume(const QStorageInfo& volume) {
  static const QStringList kSystemPrefixes = {"/proc", "/sys", "/dev", "/run", "/boot", "/snap"};
  const QString path = volume.rootPath();
  if (!volume.isValid() || !volume.isReady() || !QFileInfo(path).isDir())
    return false;
  if (path.startsWith("/run/media/"))
    return true;
  for (const QString& prefix : kSystemPrefixes) {
    if (path == prefix || path.startsWith(prefix + '/'))
      return false;
  }
  const QByteArray type = volume.fileSystemType();
  return type != "tmpfs" && type != "squashfs" && type != "devtmpfs";
}

// The file list hands dragged sources to the join list as file URLs.
class TSourceList : public QListWidget {
 public:
  using QListWidget::QListWidget;

 protected:
  QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QListWidgetItem* item : items)
      urls << QUrl::fromLocalFile(item->data(kPathRole).toString());
    data->setUrls(urls);
    return data;
  }
  QStringList mimeTypes() const override { return {"text/uri-list"}; }
};

}  // namespace

QStringList MountedVolumes() {
  QStringList volumes{"/", WithSlash(QDir::homePath())};
  QStringList others;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    const QString path = WithSlash(volume.rootPath());
    if (IsUserVolume(volume) && !volumes.contains(path) && !others.contains(path))
      others << path;
  }
  others.sort();
  return volumes + others;
}

TFileBrowser::TFileBrowser(QWidget* parent)
    : QWidget(parent),
      drives_(new QComboBox(this)),
      tree_(new QTreeView(this)),
      treeModel_(new QFileSystemModel(this)),
      files_(new TSourceList(this)),
      watcher_(new QFileSystemWatcher(this)) {
  setObjectName("PanelFileBoxes");
  drives_->setObjectName("DriveComboBox1");
  tree_->setObjectName("DirectoryListBox1");
  files_->setObjectName("FileListBox1");

  treeModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  treeModel_->setRootPath("/");
  tree_->setModel(treeModel_);
  for (int column = 1; column < treeModel_->columnCount(); ++column)
    tree_->hideColumn(column);
  tree_->setHeaderHidden(true);
  tree_->setUniformRowHeights(true);

  files_->setSelectionMode(QAbstractItemView::SingleSelection);
  files_->setDragDropMode(QAbstractItemView::NoDragDrop);

  FillDrives();
  connect(drives_, &QComboBox::activated, this, &TFileBrowser::OnDriveChosen);
  connect(tree_, &QTreeView::clicked, this, &TFileBrowser::OnTreeFolderChosen);
  connect(tree_, &QTreeView::activated, this, &TFileBrowser::OnTreeFolderChosen);
  connect(files_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (item)
      emit FileSelected(item->data(kPathRole).toString());
  });
  // A click on the file already selected selects it again, statuses reset and all.
  connect(files_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    if (item == files_->currentItem())
      emit FileSelected(item->data(kPathRole).toString());
  });
  connect(files_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    emit FileDoubleClicked(item->data(kPathRole).toString());
  });
  connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &TFileBrowser::RefreshFiles);
  // The tree reads folders in the background: keep the shown folder in view as they come.
  connect(treeModel_, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
    if (folder_.startsWith(WithSlash(path)))
      tree_->scrollTo(tree_->currentIndex(), QAbstractItemView::PositionAtCenter);
  });

  SetFolder(WithSlash(QDir::currentPath()));
}

void TFileBrowser::FillDrives() {
  drives_->clear();
  for (const QString& volume : MountedVolumes())
    drives_->addItem(volume, volume);
}

void TFileBrowser::SetFolder(const QString& folder) {
  folder_ = WithSlash(QDir::cleanPath(folder));
  ShowFolderInTree();
  RefreshFiles();
  if (!watcher_->directories().isEmpty())
    watcher_->removePaths(watcher_->directories());
  watcher_->addPath(folder_);
}

void TFileBrowser::ShowFolderInTree() {
  // The drive box shows the deepest volume holding the folder; the tree starts there.
  int best = 0;
  for (int i = 0; i < drives_->count(); ++i) {
    const QString volume = drives_->itemData(i).toString();
    if (folder_.startsWith(volume) && volume.size() > drives_->itemData(best).toString().size())
      best = i;
  }
  drives_->setCurrentIndex(best);
  const QString volume = drives_->itemData(best).toString();
  tree_->setRootIndex(treeModel_->index(volume == "/" ? volume : volume.chopped(1)));
  const QModelIndex index = treeModel_->index(folder_ == "/" ? folder_ : folder_.chopped(1));
  for (QModelIndex ancestor = index; ancestor.isValid(); ancestor = ancestor.parent())
    tree_->expand(ancestor);
  tree_->setCurrentIndex(index);
  tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void TFileBrowser::RefreshFiles() {
  const QString keep = files_->currentItem() ? files_->currentItem()->text() : QString();
  const QString before = SelectedFile();
  RefillFiles(keep);
  if (SelectedFile() != before)
    emit SelectedFileReplaced(SelectedFile());
}

void TFileBrowser::RefillFiles(const QString& keep) {
  const QSignalBlocker blocker(files_);
  files_->clear();
  QDir dir(folder_);
  const QStringList names =
      dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
  for (const QString& name : names) {
    if (!IsListedSourceName(ToStd(name)))
      continue;
    auto* item = new QListWidgetItem(name, files_);
    item->setData(kPathRole, folder_ + name);
    if (name == keep)
      files_->setCurrentItem(item);
  }
}

void TFileBrowser::OnDriveChosen(int index) {
  const QString volume = drives_->itemData(index).toString();
  if (QFileInfo(volume).isDir())
    SetFolder(volume);
}

void TFileBrowser::OnTreeFolderChosen() {
  const QString path = treeModel_->filePath(tree_->currentIndex());
  if (!path.isEmpty() && WithSlash(path) != folder_)
    SetFolder(path);
}

QString TFileBrowser::SelectedFile() const {
  const QListWidgetItem* item = files_->currentItem();
  if (!item || !item->isSelected())
    return {};
  return item->data(kPathRole).toString();
}

QStringList TFileBrowser::SelectedFiles() const {
  QStringList paths;
  for (int row = 0; row < files_->count(); ++row) {
    const QListWidgetItem* item = files_->item(row);
    if (item->isSelected())
      paths << item->data(kPathRole).toString();
  }
  return paths;
}

bool TFileBrowser::SelectFile(const QString& fileName) {
  const QList<QListWidgetItem*> found = files_->findItems(fileName, Qt::MatchExactly);
  if (found.isEmpty())
    return false;
  files_->setCurrentItem(found.constFirst());
  found.constFirst()->setSelected(true);
  return true;
}

QStringList TFileBrowser::FileNames() const {
  QStringList names;
  for (int row = 0; row < files_->count(); ++row)
    names << files_->item(row)->text();
  return names;
}

QList<int> TFileBrowser::SelectedIndexes() const {
  QList<int> indexes;
  for (int row = 0; row < files_->count(); ++row) {
    if (files_->item(row)->isSelected())
      indexes << row;
  }
  return indexes;
}

int TFileBrowser::FocusedIndex() const {
  return files_->currentRow();
}

const QWidget* TFileBrowser::DragSource() const {
  return files_;
}

void TFileBrowser::SetMultiSelect(bool multi) {
  files_->setSelectionMode(multi ? QAbstractItemView::ExtendedSelection
                                 : QAbstractItemView::SingleSelection);
  files_->setDragEnabled(multi);
  files_->setDragDropMode(multi ? QAbstractItemView::DragOnly : QAbstractItemView::NoDragDrop);
}

void TFileBrowser::SetListsEnabled(bool enabled) {
  tree_->setEnabled(enabled);
  files_->setEnabled(enabled);
}

void TFileBrowser::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ArrangeFileBoxes();
}

void TFileBrowser::ArrangeFileBoxes() {
  const int s = width();
  const int h = height();
  const int driveHeight = drives_->sizeHint().height();
  drives_->setGeometry(0, h - driveHeight, (s + 1) / 2 + 2, driveHeight);
  tree_->setGeometry(0, 0, s / 2 - 2, h - driveHeight - 2);
  files_->setGeometry(s / 2, 0, s / 2 - 2, h);
}

}  // namespace zembrio
