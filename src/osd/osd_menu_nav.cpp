#include "osd/osd_menu_nav.h"

#include <algorithm>

namespace kv::osd {

std::vector<int> TOsdMenuNav::LevelPath() const {
  if (path_.empty()) return {};
  return {path_.begin(), path_.end() - 1};
}

int TOsdMenuNav::FirstSelectable(const std::vector<TOsdMenuItem>& items) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].Selectable()) return static_cast<int>(i);
  }
  return 0;
}

void TOsdMenuNav::Open(const IOsdMenuTree& tree) {
  path_ = {FirstSelectable(tree.Level({}))};
  top_ = {0};
}

void TOsdMenuNav::Close() {
  path_.clear();
  top_.clear();
}

int TOsdMenuNav::RowOf(const std::vector<TOsdMenuItem>& items, int top, int index) {
  if (index < top || index < 0 || index >= static_cast<int>(items.size())) return -1;
  if (!items[static_cast<size_t>(index)].Listed) return -1;
  int row = 0;
  for (int i = std::max(top, 0); i < index; ++i) {
    if (items[static_cast<size_t>(i)].Listed) ++row;
  }
  return row;
}

std::vector<int> TOsdMenuNav::ShownRows(const std::vector<TOsdMenuItem>& items, int top,
                                        int rowsThatFit) {
  std::vector<int> rows;
  for (int i = std::max(top, 0); i < static_cast<int>(items.size()); ++i) {
    if (static_cast<int>(rows.size()) >= rowsThatFit) break;
    if (items[static_cast<size_t>(i)].Listed) rows.push_back(i);
  }
  return rows;
}

TOsdMenuMove TOsdMenuNav::MoveUp(const IOsdMenuTree& tree, int rowsThatFit) {
  TOsdMenuMove move;
  if (!IsOpen()) return move;
  const auto items = tree.Level(LevelPath());
  int index = path_.back() - 1;
  while (index >= 0 && !items[static_cast<size_t>(index)].Selectable()) --index;
  if (index < 0) return move;
  move.Moved = true;
  move.OldRow = RowOf(items, top_.back(), path_.back());
  path_.back() = index;
  if (index < top_.back()) {
    // Page back: the earliest top from which the rows down to the selection still fit,
    // so that the selection becomes the last row.
    int rows = 0;
    int top = index;
    for (int i = index; i >= 0; --i) {
      if (!items[static_cast<size_t>(i)].Listed) continue;
      if (rows == std::max(rowsThatFit, 1)) break;
      ++rows;
      top = i;
    }
    // Unlisted items just above the top take no row, so the top may start at them.
    while (top > 0 && !items[static_cast<size_t>(top - 1)].Listed) --top;
    top_.back() = top;
    move.Paged = true;
  }
  move.NewRow = RowOf(items, top_.back(), index);
  return move;
}

TOsdMenuMove TOsdMenuNav::MoveDown(const IOsdMenuTree& tree, int rowsThatFit) {
  TOsdMenuMove move;
  if (!IsOpen()) return move;
  const auto items = tree.Level(LevelPath());
  const int count = static_cast<int>(items.size());
  int index = path_.back() + 1;
  while (index < count && !items[static_cast<size_t>(index)].Selectable()) ++index;
  if (index >= count) return move;
  move.Moved = true;
  move.OldRow = RowOf(items, top_.back(), path_.back());
  path_.back() = index;
  if (RowOf(items, top_.back(), index) >= rowsThatFit) {
    // Page forward: the new selection becomes the first row.
    top_.back() = index;
    move.Paged = true;
  }
  move.NewRow = RowOf(items, top_.back(), index);
  return move;
}

bool TOsdMenuNav::Descend(const IOsdMenuTree& tree) {
  if (!IsOpen()) return false;
  const auto items = tree.Level(LevelPath());
  const int sel = path_.back();
  if (sel < 0 || sel >= static_cast<int>(items.size())) return false;
  const TOsdMenuItem& item = items[static_cast<size_t>(sel)];
  if (!item.Selectable() || !item.Enabled || !item.HasSubmenu) return false;
  std::vector<int> sub = path_;
  path_.push_back(FirstSelectable(tree.Level(sub)));
  top_.push_back(0);
  return true;
}

bool TOsdMenuNav::Ascend() {
  if (path_.size() <= 1) return false;
  path_.pop_back();
  top_.pop_back();
  return true;
}

void TOsdMenuNav::Revalidate(const IOsdMenuTree& tree) {
  if (!IsOpen()) return;
  for (size_t depth = 0; depth < path_.size(); ++depth) {
    const std::vector<int> levelPath(path_.begin(), path_.begin() + static_cast<long>(depth));
    const auto items = tree.Level(levelPath);
    const int count = static_cast<int>(items.size());
    int& sel = path_[depth];
    const bool deeper = depth + 1 < path_.size();
    const bool valid = sel >= 0 && sel < count && items[static_cast<size_t>(sel)].Selectable() &&
                       (!deeper || items[static_cast<size_t>(sel)].HasSubmenu);
    if (!valid) {
      // The selection went away: keep the level, select its first selectable item and
      // forget the deeper levels.
      if (depth > 0 && count == 0) {
        path_.resize(depth);
        top_.resize(depth);
        return;
      }
      sel = std::min(FirstSelectable(items), std::max(count - 1, 0));
      path_.resize(depth + 1);
      top_.resize(depth + 1);
    }
    int& top = top_[depth];
    top = std::clamp(top, 0, std::max(sel, 0));
  }
}

}  // namespace kv::osd
