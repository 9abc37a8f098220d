#include "playlist/playlist.h"

#include <algorithm>
#include <cctype>

namespace kv {
namespace {
const std::string kEmpty;

std::string UpperExtension(const std::string& name) {
  size_t slash = name.find_last_of('/');
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = name.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

bool OneOf(const std::string& ext, std::initializer_list<const char*> list) {
  return std::any_of(list.begin(), list.end(), [&](const char* e) { return ext == e; });
}
}  // namespace

// Tells the observer before and after one change.
class TPlaylist::ChangeScope {
 public:
  explicit ChangeScope(const TPlaylist& list) : observer_(list.observer_) {
    if (observer_) observer_->PlaylistAboutToChange();
  }
  ~ChangeScope() {
    if (observer_) observer_->PlaylistChanged();
  }
  ChangeScope(const ChangeScope&) = delete;
  ChangeScope& operator=(const ChangeScope&) = delete;

 private:
  IPlaylistObserver* observer_;
};

TPlaylist& TPlaylist::operator=(const TPlaylist& other) {
  if (this != &other) SetNodes(other.nodes_);
  return *this;
}

void TPlaylist::Clear() {
  ChangeScope scope(*this);
  nodes_.clear();
}

void TPlaylist::SetNodes(const std::vector<Node>& nodes) {
  ChangeScope scope(*this);
  nodes_.clear();
  for (const Node& n : nodes)
    if (n.topLevel || !nodes_.empty()) nodes_.push_back(n);
}

int TPlaylist::AddTitle(const std::string& path) {
  ChangeScope scope(*this);
  nodes_.push_back({path, true});
  return Count() - 1;
}

int TPlaylist::AddChild(int titleIndex, const std::string& path) {
  if (!IsTopLevel(titleIndex)) return -1;
  ChangeScope scope(*this);
  int pos = titleIndex + 1;
  while (pos < Count() && !nodes_[pos].topLevel) ++pos;
  nodes_.insert(nodes_.begin() + pos, Node{path, false});
  return pos;
}

bool TPlaylist::Remove(int index) {
  if (index < 0 || index >= Count()) return false;
  ChangeScope scope(*this);
  int end = index + 1;
  if (nodes_[index].topLevel)
    while (end < Count() && !nodes_[end].topLevel) ++end;
  nodes_.erase(nodes_.begin() + index, nodes_.begin() + end);
  return true;
}

const std::string& TPlaylist::Text(int index) const {
  if (index < 0 || index >= Count()) return kEmpty;
  return nodes_[index].path;
}

bool TPlaylist::IsTopLevel(int index) const {
  return index >= 0 && index < Count() && nodes_[index].topLevel;
}

int TPlaylist::TitleOf(int index) const {
  if (index < 0 || index >= Count()) return -1;
  while (index > 0 && !nodes_[index].topLevel) --index;
  return nodes_[index].topLevel ? index : -1;
}

std::vector<int> TPlaylist::ChildrenOf(int titleIndex) const {
  std::vector<int> out;
  if (!IsTopLevel(titleIndex)) return out;
  for (int i = titleIndex + 1; i < Count() && !nodes_[i].topLevel; ++i) out.push_back(i);
  return out;
}

std::vector<int> TPlaylist::Titles() const {
  std::vector<int> out;
  for (int i = 0; i < Count(); ++i)
    if (nodes_[i].topLevel) out.push_back(i);
  return out;
}

bool IsSubtitleExtension(const std::string& fileName) {
  // ".ASS" joins the list: the common modern form of the SubStation layout.
  return OneOf(UpperExtension(fileName), {".SRT", ".AQT", ".TXT", ".SSA", ".SUB", ".ASS"});
}

bool IsAudioExtension(const std::string& fileName) {
  return OneOf(UpperExtension(fileName), {".WAV", ".MP3", ".AC3", ".WMA", ".OGG"});
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return "";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void OpenSingleTitle(TPlaylist& list, const std::string& fileName,
                     const std::vector<std::string>& directoryEntries) {
  list.Clear();
  list.AddTitle(fileName);
  std::string dir = DirectoryOf(fileName);
  std::string prefix = (!dir.empty() && dir.back() == '/') ? dir : dir + "/";
  for (const std::string& entry : directoryEntries) {
    if (IsSubtitleExtension(entry) || IsAudioExtension(entry)) list.AddChild(0, prefix + entry);
  }
}

}  // namespace kv
