// TPlaylistModel: the playlist (TPlaylist) as a two-level item model for the dialog's tree.
//
// The playlist stays the data; this adapter only presents it: top-level rows are titles,
// their rows the attached files, each shown as its full path (bytes that are not UTF-8 as
// replacement characters). Every change made through the playlist resets the model, so the
// view follows edits from anywhere (dialog, main window, hand-over of a second instance).
// Ownership: borrows the playlist and registers as its observer; whichever of the two goes
// first tells the other (a playlist destroyed first leaves the adapter empty).
// User-interface thread.
#pragma once

#include <QAbstractItemModel>

#include "playlist/playlist.h"

namespace kv {

class TPlaylistModel : public QAbstractItemModel, private IPlaylistObserver {
  Q_OBJECT
 public:
  explicit TPlaylistModel(TPlaylist& playlist, QObject* parent = nullptr);
  ~TPlaylistModel() override;

  // Null once the playlist is gone.
  TPlaylist* Playlist() const { return list_; }
  // Between flat playlist indexes and model indexes (-1 / invalid when out of range).
  int FlatIndex(const QModelIndex& index) const;
  QModelIndex IndexOfFlat(int flat) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  void PlaylistAboutToChange() override { beginResetModel(); }
  void PlaylistChanged() override { endResetModel(); }
  void PlaylistDestroyed() override;
  const TPlaylist& List() const { return list_ ? *list_ : empty_; }
  TPlaylist* list_;
  const TPlaylist empty_;
};

}  // namespace kv
