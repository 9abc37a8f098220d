#include "openfiles/playlist_drop.h"

namespace kv {

TDropDecision DecideDrop(const TPlaylist& list, int target, bool isVideo, bool isAttachable) {
  if (target < 0 || target >= list.Count())
    return isVideo ? TDropDecision{TDropDecision::AppendTitle, -1} : TDropDecision{};
  if (list.IsTopLevel(target))
    return isAttachable ? TDropDecision{TDropDecision::AppendChild, target}
                        : TDropDecision{TDropDecision::AppendTitle, -1};
  if (isAttachable) return {TDropDecision::AppendChild, list.TitleOf(target)};
  return {};
}

int ApplyDrop(TPlaylist& list, const TDropDecision& decision, const std::string& path) {
  switch (decision.action) {
    case TDropDecision::AppendTitle: return list.AddTitle(path);
    case TDropDecision::AppendChild: return list.AddChild(decision.title, path);
    case TDropDecision::Refuse: break;
  }
  return -1;
}

}  // namespace kv
