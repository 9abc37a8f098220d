// TFolderTreeModel: the node tree behind TFolderTree, on the Linux file system.
//
// Nodes: the root is the user's home folder shown as the desktop (kind 4); under it the
// computer (kind 3) with the mounted volumes, optionally the trash (kind 2, the XDG trash
// folder) and the network (kind 1) with the network shares (kind 5), then the home's own
// folders. Every other node is a folder (kind 0). Levels are filled lazily (fetchMore, folders
// only, hidden ones included); children are sorted except under the computer and the network.
// Paths are raw bytes as they lie on disk; names that are not UTF-8 are shown with
// replacement characters.
//
// Change following: the folders of filled levels are watched (QFileSystemWatcher); a change
// re-reads that level in place (new folders appear, vanished ones go, expanded ones stay
// expanded). Mounted volumes are polled once a second while the model is active.
//
// Ownership: the model owns its nodes, the watcher and the poll timer. The volume source can
// be replaced (tests). User-interface thread only; nothing takes a lock.
#pragma once

#include <QAbstractItemModel>
#include <QFileIconProvider>
#include <QFileSystemWatcher>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "openfiles/folder_listing.h"

namespace kv {

class TFolderTreeModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  enum Kind { kFolder = 0, kNetwork = 1, kTrash = 2, kComputer = 3, kDesktop = 4, kNetworkItem = 5 };
  enum FolderOption { kShowNetwork = 1, kShowTrash = 2, kNewFoldersFirst = 4 };
  // Extra roles: the node's raw path (QByteArray) and its kind (int).
  enum Role { PathRole = Qt::UserRole + 1, KindRole };

  explicit TFolderTreeModel(QObject* parent = nullptr);
  ~TFolderTreeModel() override;

  // Where the mounted volumes come from (default: QStorageInfo).
  std::function<std::vector<TMountInfo>()> MountSource;
  // The home folder shown as the root, and the trash folder (defaults from the environment).
  std::string HomePath;
  std::string TrashPath;

  // Fills the tree and starts following changes; false when already active.
  bool Activate();
  void Deactivate();
  bool Active() const { return active_; }
  void SetFolderOptions(int options);
  int FolderOptions() const { return folderOptions_; }
  // 0 names as they are, 1 upper case, 2 lower case.
  void SetDisplayMode(int mode);
  int DisplayMode() const { return displayMode_; }

  // The node of `path`, filling levels on the way; when a component is not found, the
  // deepest node matched so far. Invalid for an empty path or while inactive.
  QModelIndex FindPath(const std::string& path);
  std::string PathOf(const QModelIndex& index) const;
  int KindOf(const QModelIndex& index) const;
  QModelIndex ComputerIndex() const;
  // Re-reads the children of a filled node in place.
  void Refresh(const QModelIndex& index);
  // Compares the mounted volumes with the computer's and the network's children.
  void RefreshVolumes();

  // QAbstractItemModel
  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  const QFileSystemWatcher& Watcher() const { return watcher_; }

 private:
  struct Node;
  Node* NodeOf(const QModelIndex& index) const;
  QModelIndex IndexOf(const Node* node) const;
  std::unique_ptr<Node> MakeFolder(Node* parent, const std::string& name);
  std::unique_ptr<Node> MakeVolume(Node* parent, const TMountInfo& mount, int kind);
  std::unique_ptr<Node> MakeSpecial(Node* parent, int kind);
  void Fill(Node* node);
  void FillFolders(Node* node, std::vector<std::unique_ptr<Node>>& out);
  void FillVolumes(Node* node, std::vector<std::unique_ptr<Node>>& out);
  void Insert(Node* parent, std::unique_ptr<Node> child, bool first);
  void RemoveAt(Node* parent, int row);
  void RefreshNode(Node* node);
  void ApplyFolderOptions();
  void UpdateWatches();
  void DirectoryChanged(const QString& path);
  std::vector<TMountInfo> Mounts() const;
  bool Sorted(const Node* parent) const;

  std::unique_ptr<Node> root_;
  bool active_ = false;
  int folderOptions_ = 0;
  int displayMode_ = 0;
  QFileIconProvider icons_;
  QFileSystemWatcher watcher_;
  QTimer volumePoll_;
};

}  // namespace kv
