#include "openfiles/FolderTree.h"

#include <QHeaderView>

namespace kv {

TFolderTree::TFolderTree(QWidget* parent) : QTreeView(parent), model_(new TFolderTreeModel(this)) {
  setObjectName(QStringLiteral("FolderTree"));
  setModel(model_);
  setHeaderHidden(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformRowHeights(true);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  header()->setStretchLastSection(false);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this]() { emit Changed(); });
}

void TFolderTree::SetActive(bool active) {
  if (!active) {
    model_->Deactivate();
    return;
  }
  if (!model_->Activate()) return;
  const QModelIndex root = model_->index(0, 0);
  expand(root);
  expand(model_->ComputerIndex());
}

std::string TFolderTree::GetPath() const { return model_->PathOf(currentIndex()); }

void TFolderTree::SetPath(const std::string& path) {
  if (path.empty()) {
    selectionModel()->clearCurrentIndex();
    clearSelection();
    return;
  }
  QModelIndex found = model_->FindPath(path);
  if (!found.isValid()) return;
  if (path.size() > 3 && !IsExistingFolder(path)) {
    // The level that still exists is read again, so that folders that vanished go.
    for (QModelIndex level = found; level.isValid(); level = level.parent()) {
      if (IsExistingFolder(model_->PathOf(level))) {
        model_->Refresh(level);
        break;
      }
    }
    found = model_->FindPath(path);
  }
  for (QModelIndex p = found.parent(); p.isValid(); p = p.parent()) expand(p);
  setCurrentIndex(found);
  scrollTo(found);
}

}  // namespace kv
