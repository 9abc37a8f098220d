// TFileListBox: the file list of the open-files dialog, and TFileDragData, what a drag from
// it carries.
//
// The list shows the files of one directory that match the current masks, sorted like the
// folder tree; each item keeps its file name's raw bytes, so names that are not UTF-8 are
// shown with replacement characters and still opened by their real name. Multi-select. A drag
// carries the current item as a full path in a TFileDragData, which only this list makes:
// drop targets tell it from any other drag by its type.
// User-interface thread only.
#pragma once

#include <QListWidget>
#include <QMimeData>

#include <string>

namespace kv {

class TFileDragData : public QMimeData {
  Q_OBJECT
 public:
  explicit TFileDragData(std::string path) : path_(std::move(path)) {
    setData(QStringLiteral("application/x-kavello-file"), QByteArray::fromStdString(path_));
  }
  const std::string& Path() const { return path_; }
  // What the drop target worked out once per drag (file reads are not repeated per move).
  mutable bool classified = false;
  mutable bool isVideo = false;
  mutable bool isAttachable = false;

 private:
  std::string path_;
};

class TFileListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit TFileListBox(QWidget* parent = nullptr);

  // Shows the files of `directory` (raw bytes; empty shows nothing) that match the masks.
  void SetDirectory(const std::string& directory);
  const std::string& Directory() const { return directory_; }
  void SetMask(const std::string& masks);
  const std::string& Mask() const { return masks_; }
  // Re-reads the directory.
  void Update();
  // Raw file name and full path of an item.
  static std::string FileNameOf(const QListWidgetItem* item);
  std::string FullPath(const QListWidgetItem* item) const;

 protected:
  QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
  QStringList mimeTypes() const override;

 private:
  std::string directory_;
  std::string masks_ = "*.*";
};

}  // namespace kv
