// TOpenfilesForm ("Open files"): where the user builds the playlist.
//
// What it is: a folder tree and a file list with its filter box on the left, the playlist
// `Playback` on the right. The playlist shown is the main window's own TPlaylist (through
// TPlaylistModel): every edit here is an edit of what the main window plays. The form takes a
// backup of the playlist each time it is shown; Cancel puts it back, OK keeps the edits and
// stores the folder of the tree as OpenDir. Shown modally: OK ends with 1, Cancel with 2.
// Ownership: borrows the playlist, the settings and the catalogue (all outlive the form);
// owns its widgets; the folder tree is made on the first show and kept.
// User-interface thread only.
#pragma once

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>

#include <functional>
#include <string>
#include <vector>

#include "openfiles/FolderTree.h"
#include "openfiles/file_list_box.h"
#include "openfiles/playlist_view_model.h"
#include "playlist/playlist.h"

namespace kv {

struct TCatalogue;
class tOptions;

// The playlist view: a tree that takes drops from the file list only.
class TPlaybackView : public QTreeView {
  Q_OBJECT
 public:
  explicit TPlaybackView(QWidget* parent = nullptr);
  // Whether a drop at `pos` (viewport coordinates) is accepted, and carrying it out.
  std::function<bool(const TFileDragData&, const QPoint&)> CanDrop;
  std::function<void(const TFileDragData&, const QPoint&)> Dropped;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

class TOpenfilesForm : public QDialog {
  Q_OBJECT
 public:
  enum Result { OK = 1, Cancel = 2 };

  TOpenfilesForm(TPlaylist& playlist, tOptions& options, QWidget* parent = nullptr);
  ~TOpenfilesForm() override;

  // The component catalogue (the engine); null: no file is media, the filter is "All files".
  const TCatalogue* Catalogue = nullptr;
  // The folder tree's FolderOptions (network and trash nodes shown).
  int FolderTreeOptions = TFolderTreeModel::kShowNetwork | TFolderTreeModel::kShowTrash;

  // Components, named as the form names them.
  QGroupBox* DirectoryLabel = nullptr;
  QWidget* Panel1 = nullptr;
  TFolderTree* FolderTree = nullptr;  // made on the first show
  QSplitter* Splitter1 = nullptr;
  QSplitter* Splitter2 = nullptr;
  QWidget* Panel2 = nullptr;
  TFileListBox* FileListBox = nullptr;
  QComboBox* FilterComboBox = nullptr;
  QGroupBox* PlaylistLabel = nullptr;
  TPlaybackView* Playback = nullptr;
  QPushButton* OKBut = nullptr;
  QPushButton* CancelBut = nullptr;
  QMenu* OpenMenu = nullptr;
  QAction* InsertItem = nullptr;
  QMenu* DeleteMenu = nullptr;
  QAction* DeleteItem = nullptr;

  TPlaylistModel* PlaylistModel() const { return model_; }

  // The handlers (the widgets' signals call them).
  void InsertClick();
  void DeleteClick();
  void OKButClick();
  void CancelbutClick();
  // The drop rules for a file from the file list over flat entry `target` (-1: empty space).
  bool AcceptsDrop(const TFileDragData& data, int target) const;
  int DropFile(const TFileDragData& data, int target);

  void reject() override;  // Escape and the window's close button act as Cancel
  void setVisible(bool visible) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  void FolderChanged();
  void Classify(const TFileDragData& data) const;
  int TargetAt(const QPoint& viewportPos) const;
  void SelectFlat(int flat);

  TPlaylist& playlist_;
  tOptions& options_;
  TPlaylistModel* model_ = nullptr;
  std::vector<TPlaylist::Node> backup_;
  std::vector<std::string> filterMasks_;
};

}  // namespace kv
