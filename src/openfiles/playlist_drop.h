// Where a file dragged from the open-files dialog's file list lands in the playlist.
// Pure logic over TPlaylist, no Qt; user-interface thread (like the playlist).
#pragma once

#include <string>

#include "playlist/playlist.h"

namespace kv {

struct TDropDecision {
  enum Action { Refuse, AppendTitle, AppendChild } action = Refuse;
  int title = -1;  // AppendChild: flat index of the title that receives the file
};

// `target`: flat index of the entry under the pointer, -1 for empty space. `isVideo`: the
// catalogue knows the file as a video container; `isAttachable`: it is an audio file of the
// catalogue or a subtitle file.
//   empty space: a video file becomes a new title, anything else is refused;
//   a title: an attachable file becomes its last child, anything else a new title at the end;
//   a child: an attachable file becomes the last child of the child's title, anything else is
//   refused.
TDropDecision DecideDrop(const TPlaylist& list, int target, bool isVideo, bool isAttachable);

// Carries the decision out; returns the flat index of the new entry, -1 when refused.
int ApplyDrop(TPlaylist& list, const TDropDecision& decision, const std::string& path);

}  // namespace kv
