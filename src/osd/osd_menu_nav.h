// Navigation in the OSD menu: which item of which level is selected, which item is the
// first shown row, and how the keys move, page, descend and go back up.
//
// The menu itself belongs to the main window; this class sees it only through IOsdMenuTree,
// one level at a time, and keeps item indices (0-based, one per level, top level first).
// Listed items (non-zero tag, visible) take one row each; separators are listed but never
// selected; unlisted items take no row. Plain C++, user-interface thread.
#pragma once

#include <vector>

namespace kv::osd {

struct TOsdMenuItem {
  bool Listed = false;      // non-zero tag and visible
  bool Separator = false;   // drawn as a bar, never selected
  bool Enabled = true;
  bool HasSubmenu = false;  // has at least one subitem
  bool Selectable() const { return Listed && !Separator; }
};

class IOsdMenuTree {
 public:
  virtual ~IOsdMenuTree() = default;
  // Items of the level reached by descending through `levelPath` (item indices from the top
  // level; empty for the top level). A path that no longer leads anywhere gives no items.
  virtual std::vector<TOsdMenuItem> Level(const std::vector<int>& levelPath) const = 0;
};

// Which rows a move touched, so that only those need drawing again.
struct TOsdMenuMove {
  bool Moved = false;
  bool Paged = false;  // the first shown row changed: draw the whole menu
  int OldRow = -1;     // rows relative to the first shown row; -1 when not shown
  int NewRow = -1;
};

class TOsdMenuNav {
 public:
  bool IsOpen() const { return !path_.empty(); }
  int Depth() const { return static_cast<int>(path_.size()); }
  // The selected item of every level, top level first; empty when closed.
  const std::vector<int>& Path() const { return path_; }
  // The first shown item of every level.
  const std::vector<int>& Top() const { return top_; }
  // The path of the shown level (the selection path without its last entry).
  std::vector<int> LevelPath() const;
  int Selected() const { return path_.empty() ? -1 : path_.back(); }
  int MenuTop() const { return top_.empty() ? 0 : top_.back(); }

  // Opens the top level with its first selectable item selected.
  void Open(const IOsdMenuTree& tree);
  void Close();

  // Keys 0 and 3: previous / next selectable item of the level; pages so that the new
  // selection is always on screen (`rowsThatFit` rows below the title).
  TOsdMenuMove MoveUp(const IOsdMenuTree& tree, int rowsThatFit);
  TOsdMenuMove MoveDown(const IOsdMenuTree& tree, int rowsThatFit);

  // Key 2 on an enabled item with subitems: opens that level with its first selectable
  // item selected. False when the selection cannot be descended into.
  bool Descend(const IOsdMenuTree& tree);
  // Key 1: back to the parent level. False at the top level.
  bool Ascend();

  // After a command may have rebuilt the menu: drops levels that no longer exist and moves
  // a selection that points past the items or at an item that cannot be selected.
  void Revalidate(const IOsdMenuTree& tree);

  // Row of item `index` counted from `top` among listed items; -1 when it is not listed or
  // above the top.
  static int RowOf(const std::vector<TOsdMenuItem>& items, int top, int index);
  // Item indices of the rows that are shown, from `top`, at most `rowsThatFit`.
  static std::vector<int> ShownRows(const std::vector<TOsdMenuItem>& items, int top,
                                    int rowsThatFit);

 private:
  static int FirstSelectable(const std::vector<TOsdMenuItem>& items);
  std::vector<int> path_;
  std::vector<int> top_;
};

}  // namespace kv::osd
