#include "openfiles/folder_tree_model.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QStorageInfo>

#include <algorithm>
#include <cstdlib>

#include "debugsup/debugsup.h"

namespace kv {

struct TFolderTreeModel::Node {
  std::string path;     // raw bytes; empty for the computer and the network
  std::string rawName;  // the key among its siblings (folder name, volume root)
  QString name;         // shown (before DisplayMode casing)
  int kind = kFolder;
  bool volume = false;
  bool removable = false;
  bool filled = false;
  bool mayHaveChildren = true;
  bool readable = true;  // the last listing worked (an unreadable folder is not watched)
  Node* parent = nullptr;
  std::vector<std::unique_ptr<Node>> children;

  int Row() const {
    if (!parent) return 0;
    for (size_t i = 0; i < parent->children.size(); ++i)
      if (parent->children[i].get() == this) return static_cast<int>(i);
    return 0;
  }
};

namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : fallback;
}

QString ShownName(const std::string& raw) { return QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size())); }

}  // namespace

TFolderTreeModel::TFolderTreeModel(QObject* parent) : QAbstractItemModel(parent), root_(std::make_unique<Node>()) {
  HomePath = NormalizeFolderPath(QFile::encodeName(QDir::homePath()).toStdString());
  TrashPath = JoinPath(EnvOr("XDG_DATA_HOME", JoinPath(HomePath, ".local/share")), "Trash/files");
  root_->kind = -1;
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &TFolderTreeModel::DirectoryChanged);
  volumePoll_.setInterval(1000);
  connect(&volumePoll_, &QTimer::timeout, this, &TFolderTreeModel::RefreshVolumes);
}

TFolderTreeModel::~TFolderTreeModel() = default;

// ---- activation and options ----

bool TFolderTreeModel::Activate() {
  if (active_) return false;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  active_ = true;
  beginResetModel();
  root_ = std::make_unique<Node>();
  root_->kind = -1;
  root_->filled = true;
  auto desktop = MakeSpecial(root_.get(), kDesktop);
  Node* desk = desktop.get();
  root_->children.push_back(std::move(desktop));
  endResetModel();
  Fill(desk);
  for (auto& child : desk->children)
    if (child->kind == kComputer) Fill(child.get());
  ApplyFolderOptions();  // the names are cased by DisplayMode as they are shown
  UpdateWatches();
  volumePoll_.start();
  QApplication::restoreOverrideCursor();
  return true;
}

void TFolderTreeModel::Deactivate() {
  if (!active_) return;
  volumePoll_.stop();
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  beginResetModel();
  root_ = std::make_unique<Node>();
  root_->kind = -1;
  endResetModel();
  active_ = false;
}

void TFolderTreeModel::SetFolderOptions(int options) {
  folderOptions_ = options;
  if (active_) ApplyFolderOptions();
}

void TFolderTreeModel::ApplyFolderOptions() {
  if (root_->children.empty()) return;
  Node* desk = root_->children.front().get();
  for (int kind : {kTrash, kNetwork}) {
    const bool wanted = folderOptions_ & (kind == kTrash ? kShowTrash : kShowNetwork);
    int row = -1;
    for (size_t i = 0; i < desk->children.size(); ++i)
      if (desk->children[i]->kind == kind) row = static_cast<int>(i);
    if (wanted && row < 0) Insert(desk, MakeSpecial(desk, kind), false);
    if (!wanted && row >= 0) RemoveAt(desk, row);
  }
  UpdateWatches();
}

void TFolderTreeModel::SetDisplayMode(int mode) {
  displayMode_ = mode;
  if (!active_) return;
  std::function<void(Node*)> recase = [&](Node* n) {
    if (n->children.empty()) return;
    const QModelIndex parentIndex = n == root_.get() ? QModelIndex() : IndexOf(n);
    emit dataChanged(index(0, 0, parentIndex), index(static_cast<int>(n->children.size()) - 1, 0, parentIndex),
                     {Qt::DisplayRole});
    for (auto& c : n->children) recase(c.get());
  };
  recase(root_.get());
}

// ---- nodes ----

std::unique_ptr<TFolderTreeModel::Node> TFolderTreeModel::MakeSpecial(Node* parent, int kind) {
  auto n = std::make_unique<Node>();
  n->parent = parent;
  n->kind = kind;
  switch (kind) {
    case kDesktop: n->path = HomePath; n->name = QStringLiteral("Home"); break;
    case kComputer: n->name = QStringLiteral("Computer"); break;
    case kTrash: n->path = TrashPath; n->name = QStringLiteral("Trash"); break;
    case kNetwork: n->name = QStringLiteral("Network"); break;
    default: break;
  }
  n->rawName = n->name.toStdString();
  if (kind == kTrash && !IsExistingFolder(TrashPath)) n->mayHaveChildren = false;
  return n;
}

std::unique_ptr<TFolderTreeModel::Node> TFolderTreeModel::MakeFolder(Node* parent, const std::string& name) {
  auto n = std::make_unique<Node>();
  n->parent = parent;
  n->kind = parent->kind == kNetwork ? kNetworkItem : kFolder;
  n->path = JoinPath(parent->path, name);
  n->rawName = name;
  n->name = ShownName(name);
  return n;
}

std::unique_ptr<TFolderTreeModel::Node> TFolderTreeModel::MakeVolume(Node* parent, const TMountInfo& mount, int kind) {
  auto n = std::make_unique<Node>();
  n->parent = parent;
  n->kind = kind;
  n->volume = true;
  n->path = mount.rootPath;
  n->rawName = mount.rootPath;
  n->removable = IsRemovableMount(mount);
  n->name = mount.rootPath == "/" ? QStringLiteral("File System")
                                  : ShownName(mount.name.empty() ? mount.rootPath : mount.name);
  return n;
}

std::vector<TMountInfo> TFolderTreeModel::Mounts() const {
  std::vector<TMountInfo> all;
  if (MountSource) {
    all = MountSource();
  } else {
    for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
      if (!s.isValid()) continue;
      all.push_back({QFile::encodeName(s.rootPath()).toStdString(), s.device().toStdString(),
                     s.fileSystemType().toStdString(), s.displayName().toStdString()});
    }
  }
  std::vector<TMountInfo> out;
  for (const TMountInfo& m : all)
    if (IsUserVolume(m)) out.push_back(m);
  return out;
}

bool TFolderTreeModel::Sorted(const Node* parent) const {
  return parent->kind != kComputer && parent->kind != kNetwork;
}

void TFolderTreeModel::FillFolders(Node* node, std::vector<std::unique_ptr<Node>>& out) {
  if (node->path.empty()) return;
  TDirectoryListing listing = ListFolders(node->path);
  node->readable = listing.ok;
  if (!listing.ok) {
    Debug.TextOut("Cannot read folder " + node->path + ": " + listing.error);
    return;
  }
  for (const std::string& name : listing.names) out.push_back(MakeFolder(node, name));
}

void TFolderTreeModel::FillVolumes(Node* node, std::vector<std::unique_ptr<Node>>& out) {
  for (const TMountInfo& m : Mounts()) {
    if (node->kind == kNetwork && !IsNetworkMount(m)) continue;
    out.push_back(MakeVolume(node, m, node->kind == kNetwork ? kNetworkItem : kFolder));
  }
}

void TFolderTreeModel::Fill(Node* node) {
  if (node->filled) return;
  node->filled = true;
  std::vector<std::unique_ptr<Node>> out;
  if (node->kind == kDesktop) out.push_back(MakeSpecial(node, kComputer));
  if (node->kind == kComputer || node->kind == kNetwork) FillVolumes(node, out);
  else FillFolders(node, out);
  if (folderOptions_ & kNewFoldersFirst) std::reverse(out.begin(), out.end());
  if (Sorted(node)) {
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
      const bool sa = a->kind != kFolder, sb = b->kind != kFolder;
      if (sa != sb) return sa;  // the computer, trash and network stay before the folders
      return FolderNameLess(a->rawName, b->rawName);
    });
  }
  if (out.empty()) {
    node->mayHaveChildren = false;
    if (node->parent) {
      const QModelIndex i = IndexOf(node);
      emit dataChanged(i, i);
    }
    return;
  }
  const QModelIndex parentIndex = IndexOf(node);
  beginInsertRows(parentIndex, 0, static_cast<int>(out.size()) - 1);
  for (auto& n : out) node->children.push_back(std::move(n));
  endInsertRows();
}

void TFolderTreeModel::Insert(Node* parent, std::unique_ptr<Node> child, bool first) {
  auto& kids = parent->children;
  size_t specials = 0;
  while (specials < kids.size() && kids[specials]->kind != kFolder && kids[specials]->kind != kNetworkItem)
    ++specials;
  size_t pos;
  if (child->kind != kFolder && child->kind != kNetworkItem) {
    pos = specials;
  } else if (Sorted(parent)) {
    pos = std::lower_bound(kids.begin() + specials, kids.end(), child,
                           [](const auto& a, const auto& b) { return FolderNameLess(a->rawName, b->rawName); }) -
          kids.begin();
  } else {
    pos = first ? specials : kids.size();
  }
  beginInsertRows(IndexOf(parent), static_cast<int>(pos), static_cast<int>(pos));
  kids.insert(kids.begin() + static_cast<std::ptrdiff_t>(pos), std::move(child));
  endInsertRows();
  if (!parent->mayHaveChildren) {
    parent->mayHaveChildren = true;
    const QModelIndex i = IndexOf(parent);
    emit dataChanged(i, i);
  }
}

void TFolderTreeModel::RemoveAt(Node* parent, int row) {
  beginRemoveRows(IndexOf(parent), row, row);
  parent->children.erase(parent->children.begin() + row);
  endRemoveRows();
  if (parent->filled && parent->children.empty() && parent->parent) {
    parent->mayHaveChildren = false;
    const QModelIndex i = IndexOf(parent);
    emit dataChanged(i, i);
  }
}

// ---- change following ----

void TFolderTreeModel::RefreshNode(Node* node) {
  if (!node->filled) return;
  std::vector<std::unique_ptr<Node>> fresh;
  if (node->kind == kComputer || node->kind == kNetwork) FillVolumes(node, fresh);
  else FillFolders(node, fresh);
  auto diffed = [node](const Node& c) {
    return node->kind == kComputer || node->kind == kNetwork || c.kind == kFolder || c.kind == kNetworkItem;
  };
  for (int row = static_cast<int>(node->children.size()) - 1; row >= 0; --row) {
    const Node& c = *node->children[row];
    if (!diffed(c)) continue;
    bool still = std::any_of(fresh.begin(), fresh.end(), [&](const auto& f) { return f->rawName == c.rawName; });
    if (!still) RemoveAt(node, row);
  }
  for (auto& f : fresh) {
    bool known = std::any_of(node->children.begin(), node->children.end(),
                             [&](const auto& c) { return diffed(*c) && c->rawName == f->rawName; });
    if (!known) Insert(node, std::move(f), folderOptions_ & kNewFoldersFirst);
  }
}

void TFolderTreeModel::Refresh(const QModelIndex& index) {
  if (Node* n = NodeOf(index)) {
    RefreshNode(n);
    UpdateWatches();
  }
}

void TFolderTreeModel::RefreshVolumes() {
  if (!active_ || root_->children.empty()) return;
  for (auto& c : root_->children.front()->children)
    if (c->kind == kComputer || c->kind == kNetwork) RefreshNode(c.get());
  UpdateWatches();
}

void TFolderTreeModel::DirectoryChanged(const QString& changed) {
  const std::string path = QFile::encodeName(changed).toStdString();
  std::vector<std::pair<int, Node*>> hits;  // (depth, node)
  std::function<void(Node*, int)> walk = [&](Node* n, int depth) {
    if (n->filled && n->path == path) hits.push_back({depth, n});
    for (auto& c : n->children) walk(c.get(), depth + 1);
  };
  walk(root_.get(), 0);
  // Deepest first: removing or refreshing a deep node never frees a shallower one.
  std::sort(hits.begin(), hits.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  const bool exists = IsExistingFolder(path);
  for (auto& [depth, n] : hits) {
    if (!exists && n->kind == kFolder && !n->volume && n->parent)
      RemoveAt(n->parent, n->Row());
    else
      RefreshNode(n);
  }
  UpdateWatches();
}

void TFolderTreeModel::UpdateWatches() {
  QSet<QString> wanted;
  std::function<void(Node*)> walk = [&](Node* n) {
    if (n->filled && n->readable && !n->path.empty()) {
      const QByteArray raw = QByteArray::fromStdString(n->path);
      const QString name = QFile::decodeName(raw);
      // A name the file-name codec cannot carry both ways is not watched (shown, not followed).
      if (QFile::encodeName(name) == raw) wanted.insert(name);
    }
    for (auto& c : n->children) walk(c.get());
  };
  if (active_) walk(root_.get());
  const QStringList current = watcher_.directories();
  QStringList gone;
  for (const QString& p : current)
    if (!wanted.contains(p)) gone << p;
  if (!gone.isEmpty()) watcher_.removePaths(gone);
  QStringList added;
  const QSet<QString> have(current.begin(), current.end());
  for (const QString& p : wanted)
    if (!have.contains(p)) added << p;
  if (!added.isEmpty()) watcher_.addPaths(added);
}

// ---- lookup ----

QModelIndex TFolderTreeModel::ComputerIndex() const {
  if (root_->children.empty()) return {};
  for (auto& c : root_->children.front()->children)
    if (c->kind == kComputer) return IndexOf(c.get());
  return {};
}

QModelIndex TFolderTreeModel::FindPath(const std::string& raw) {
  const std::string path = NormalizeFolderPath(raw);
  if (path.empty() || !active_ || root_->children.empty()) return {};
  Node* desk = root_->children.front().get();
  Node* node = nullptr;
  std::string rest;
  auto under = [&](const std::string& base) {
    return path == base || (path.rfind(base == "/" ? base : base + "/", 0) == 0);
  };
  if (!HomePath.empty() && under(HomePath)) {
    node = desk;
    rest = path.substr(HomePath.size());
  } else {
    Node* computer = NodeOf(ComputerIndex());
    if (!computer) return {};
    Fill(computer);
    for (auto& v : computer->children)
      if (under(v->path) && (!node || v->path.size() > node->path.size())) node = v.get();
    if (!node) return IndexOf(computer);
    rest = path.substr(node->path == "/" ? 0 : node->path.size());
  }
  size_t pos = 0;
  while (pos < rest.size()) {
    size_t slash = rest.find('/', pos);
    const std::string part = rest.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
    pos = slash == std::string::npos ? rest.size() : slash + 1;
    if (part.empty()) continue;
    Fill(node);
    Node* next = nullptr;
    for (auto& c : node->children)
      if ((c->kind == kFolder || c->kind == kNetworkItem) && !c->volume && c->rawName == part) next = c.get();
    if (!next) break;
    node = next;
  }
  UpdateWatches();
  return IndexOf(node);
}

std::string TFolderTreeModel::PathOf(const QModelIndex& index) const {
  const Node* n = NodeOf(index);
  return n ? n->path : std::string();
}

int TFolderTreeModel::KindOf(const QModelIndex& index) const {
  const Node* n = NodeOf(index);
  return n ? n->kind : -1;
}

// ---- QAbstractItemModel ----

TFolderTreeModel::Node* TFolderTreeModel::NodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex TFolderTreeModel::IndexOf(const Node* node) const {
  if (!node || node == root_.get() || !node->parent) return {};
  return createIndex(node->Row(), 0, const_cast<Node*>(node));
}

QModelIndex TFolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
  const Node* p = parent.isValid() ? NodeOf(parent) : root_.get();
  if (!p || column != 0 || row < 0 || row >= static_cast<int>(p->children.size())) return {};
  return createIndex(row, 0, p->children[row].get());
}

QModelIndex TFolderTreeModel::parent(const QModelIndex& child) const {
  const Node* n = NodeOf(child);
  if (!n || !n->parent || n->parent == root_.get()) return {};
  return IndexOf(n->parent);
}

int TFolderTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  const Node* p = parent.isValid() ? NodeOf(parent) : root_.get();
  return p ? static_cast<int>(p->children.size()) : 0;
}

int TFolderTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool TFolderTreeModel::hasChildren(const QModelIndex& parent) const {
  const Node* p = parent.isValid() ? NodeOf(parent) : root_.get();
  if (!p) return false;
  return p->filled ? !p->children.empty() : p->mayHaveChildren;
}

bool TFolderTreeModel::canFetchMore(const QModelIndex& parent) const {
  const Node* p = NodeOf(parent);
  return p && !p->filled && p->mayHaveChildren;
}

void TFolderTreeModel::fetchMore(const QModelIndex& parent) {
  if (Node* p = NodeOf(parent)) {
    Fill(p);
    UpdateWatches();
  }
}

Qt::ItemFlags TFolderTreeModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QVariant TFolderTreeModel::data(const QModelIndex& index, int role) const {
  const Node* n = NodeOf(index);
  if (!n) return {};
  switch (role) {
    case Qt::DisplayRole:
      return displayMode_ == 1 ? n->name.toUpper() : displayMode_ == 2 ? n->name.toLower() : n->name;
    case Qt::DecorationRole: {
      const QFileIconProvider& icons = icons_;
      switch (n->kind) {
        case kDesktop: return icons.icon(QFileIconProvider::Desktop);
        case kComputer: return icons.icon(QFileIconProvider::Computer);
        case kTrash: return icons.icon(QFileIconProvider::Trashcan);
        case kNetwork: return icons.icon(QFileIconProvider::Network);
        default: return icons.icon(n->volume ? QFileIconProvider::Drive : QFileIconProvider::Folder);
      }
    }
    case Qt::ToolTipRole: {
      QString tip = ShownName(n->path);
      if (n->removable) tip += QStringLiteral(" (removable medium)");
      return tip;
    }
    case PathRole: return QByteArray::fromStdString(n->path);
    case KindRole: return n->kind;
    default: return {};
  }
}

}  // namespace kv
