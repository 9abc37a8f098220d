#include "openfiles/file_list_box.h"

#include <algorithm>

#include "debugsup/debugsup.h"
#include "openfiles/file_filter.h"
#include "openfiles/folder_listing.h"

namespace kv {

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
  setObjectName(QStringLiteral("FileListBox"));
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setDragEnabled(true);
  setDragDropMode(QAbstractItemView::DragOnly);
  setDefaultDropAction(Qt::CopyAction);
}

void TFileListBox::SetDirectory(const std::string& directory) {
  directory_ = directory;
  Update();
}

void TFileListBox::SetMask(const std::string& masks) {
  masks_ = masks;
  Update();
}

void TFileListBox::Update() {
  clear();
  if (directory_.empty()) return;
  TDirectoryListing listing = ListFiles(directory_);
  if (!listing.ok) {
    Debug.TextOut("Cannot read folder " + directory_ + ": " + listing.error);
    return;
  }
  std::sort(listing.names.begin(), listing.names.end(), FolderNameLess);
  for (const std::string& name : listing.names) {
    if (!MatchesMasks(name, masks_)) continue;
    auto* item = new QListWidgetItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())), this);
    item->setData(Qt::UserRole, QByteArray::fromStdString(name));
  }
}

std::string TFileListBox::FileNameOf(const QListWidgetItem* item) {
  return item ? item->data(Qt::UserRole).toByteArray().toStdString() : std::string();
}

std::string TFileListBox::FullPath(const QListWidgetItem* item) const {
  return item ? JoinPath(directory_, FileNameOf(item)) : std::string();
}

QStringList TFileListBox::mimeTypes() const { return {QStringLiteral("application/x-kavello-file")}; }

QMimeData* TFileListBox::mimeData(const QList<QListWidgetItem*>& items) const {
  const QListWidgetItem* current = currentItem();
  if (!current && !items.isEmpty()) current = items.front();
  if (!current) return nullptr;
  return new TFileDragData(FullPath(current));
}

}  // namespace kv
