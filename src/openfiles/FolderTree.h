// TFolderTree: the folder tree of the open-files dialog, a tree view over TFolderTreeModel.
//
// Home at the root, the computer with its volumes, optionally the trash and the network
// (FolderOptions bits 1 network, 2 trash, 4 new folders first), folders only below them, filled
// as they are expanded and following changes on disk while Active. GetPath/SetPath convert
// between the selected node and a file-system path (raw bytes). Changed() fires after the
// selection changed. Read-only labels.
// Ownership: the view owns its model. User-interface thread only.
#pragma once

#include <QTreeView>

#include <string>

#include "openfiles/folder_tree_model.h"

namespace kv {

class TFolderTree : public QTreeView {
  Q_OBJECT
 public:
  explicit TFolderTree(QWidget* parent = nullptr);

  // Filling and change following; the root and the computer are expanded on activation.
  void SetActive(bool active);
  bool Active() const { return model_->Active(); }
  void SetFolderOptions(int options) { model_->SetFolderOptions(options); }
  int FolderOptions() const { return model_->FolderOptions(); }
  void SetDisplayMode(int mode) { model_->SetDisplayMode(mode); }
  int DisplayMode() const { return model_->DisplayMode(); }

  // The selected node's path; empty when none is selected or it is a virtual node.
  std::string GetPath() const;
  // Selects the node of `path`, or its deepest ancestor in the tree; an empty path selects
  // nothing. A path that does not exist re-reads the level found, so that folders that
  // disappeared go.
  void SetPath(const std::string& path);

  TFolderTreeModel* Model() const { return model_; }

 signals:
  void Changed();

 private:
  TFolderTreeModel* model_;
};

}  // namespace kv
