#include "openfiles/playlist_view_model.h"

namespace kv {

// Internal ids: 0 for a title row; for an attached file, the flat index of its title + 1.

TPlaylistModel::TPlaylistModel(TPlaylist& playlist, QObject* parent) : QAbstractItemModel(parent), list_(&playlist) {
  list_->SetObserver(this);
}

TPlaylistModel::~TPlaylistModel() {
  if (list_ && list_->Observer() == this) list_->SetObserver(nullptr);
}

void TPlaylistModel::PlaylistDestroyed() {
  beginResetModel();
  list_ = nullptr;
  endResetModel();
}

int TPlaylistModel::FlatIndex(const QModelIndex& index) const {
  if (!index.isValid()) return -1;
  if (index.internalId() == 0) {
    const std::vector<int> titles = List().Titles();
    return index.row() < static_cast<int>(titles.size()) ? titles[index.row()] : -1;
  }
  const int flat = static_cast<int>(index.internalId()) + index.row();  // title + 1 + row
  return flat < List().Count() ? flat : -1;
}

QModelIndex TPlaylistModel::IndexOfFlat(int flat) const {
  if (flat < 0 || flat >= List().Count()) return {};
  if (List().IsTopLevel(flat)) {
    const std::vector<int> titles = List().Titles();
    const int row = static_cast<int>(std::find(titles.begin(), titles.end(), flat) - titles.begin());
    return createIndex(row, 0, quintptr(0));
  }
  const int title = List().TitleOf(flat);
  return createIndex(flat - title - 1, 0, quintptr(title + 1));
}

QModelIndex TPlaylistModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0 || row >= rowCount(parent)) return {};
  if (!parent.isValid()) return createIndex(row, 0, quintptr(0));
  return createIndex(row, 0, quintptr(FlatIndex(parent) + 1));
}

QModelIndex TPlaylistModel::parent(const QModelIndex& child) const {
  if (!child.isValid() || child.internalId() == 0) return {};
  return IndexOfFlat(static_cast<int>(child.internalId()) - 1);
}

int TPlaylistModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return static_cast<int>(List().Titles().size());
  if (parent.internalId() != 0 || parent.column() != 0) return 0;
  return static_cast<int>(List().ChildrenOf(FlatIndex(parent)).size());
}

int TPlaylistModel::columnCount(const QModelIndex&) const { return 1; }

QVariant TPlaylistModel::data(const QModelIndex& index, int role) const {
  const int flat = FlatIndex(index);
  if (flat < 0) return {};
  const std::string& path = List().Text(flat);
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
  return {};
}

}  // namespace kv
