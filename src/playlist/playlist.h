// The playlist: a two-level tree of full file paths.
//
// Top-level nodes are titles; a title's children are the files attached to it (subtitle and
// external audio files). Nodes are addressed by their position in the flat order, where a
// title's children follow it, which is how the main window names titles (TitleIndex) and the
// menus tag their items. The open-files dialog shows and edits the same object.
// Pure data, no Qt; used from the user-interface thread only. A view (the open-files
// dialog's tree) follows the changes through one observer, told before and after every
// change made through the methods below.
#pragma once

#include <string>
#include <vector>

namespace kv {

// Told around every change of a TPlaylist; the playlist does not own it.
class IPlaylistObserver {
 public:
  virtual ~IPlaylistObserver() = default;
  virtual void PlaylistAboutToChange() = 0;
  virtual void PlaylistChanged() = 0;
  // The playlist is being destroyed: the observer must not touch it any more.
  virtual void PlaylistDestroyed() {}
};

class TPlaylist {
 public:
  struct Node {
    std::string path;
    bool topLevel = true;
    bool operator==(const Node&) const = default;
  };

  TPlaylist() = default;
  // A copy holds the same nodes but no observer (the view watches the original only).
  TPlaylist(const TPlaylist& other) : nodes_(other.nodes_) {}
  TPlaylist& operator=(const TPlaylist& other);
  ~TPlaylist() {
    if (observer_) observer_->PlaylistDestroyed();
  }

  // The one observer (null: none). It must outlive the playlist or be unset first.
  void SetObserver(IPlaylistObserver* observer) { observer_ = observer; }
  IPlaylistObserver* Observer() const { return observer_; }

  void Clear();
  int Count() const { return static_cast<int>(nodes_.size()); }
  bool Empty() const { return nodes_.empty(); }

  // Appends a title at the end; returns its flat index.
  int AddTitle(const std::string& path);
  // Appends a child after the last child of the title at `titleIndex`; returns its flat
  // index, or -1 when `titleIndex` is not a title.
  int AddChild(int titleIndex, const std::string& path);
  // Removes node i (a title with its children); false when out of range.
  bool Remove(int index);

  // Text (full path) of node i; empty when out of range.
  const std::string& Text(int index) const;
  bool IsTopLevel(int index) const;
  // Flat index of the title that node i belongs to; -1 when out of range.
  int TitleOf(int index) const;
  // Flat indexes of the children of title i, in order.
  std::vector<int> ChildrenOf(int titleIndex) const;
  // Flat indexes of all titles, in order.
  std::vector<int> Titles() const;

  const std::vector<Node>& Nodes() const { return nodes_; }
  // Replaces every node (a restored backup). A child before any title is dropped, so that
  // the result is always a valid two-level tree.
  void SetNodes(const std::vector<Node>& nodes);

 private:
  class ChangeScope;
  std::vector<Node> nodes_;
  IPlaylistObserver* observer_ = nullptr;
};

// Attached-file kinds by extension (compared upper-case).
bool IsSubtitleExtension(const std::string& fileName);  // .SRT .AQT .TXT .SSA .SUB (.ASS)
bool IsAudioExtension(const std::string& fileName);     // .WAV .MP3 .AC3 .WMA .OGG

// Makes `fileName` the only title and attaches every subtitle and audio file among
// `directoryEntries` (names in directory order, without directory) as its children.
void OpenSingleTitle(TPlaylist& list, const std::string& fileName,
                     const std::vector<std::string>& directoryEntries);

// Directory part of a path without trailing slash ("" when none); file name part.
std::string DirectoryOf(const std::string& path);
std::string FileNameOf(const std::string& path);

}  // namespace kv
