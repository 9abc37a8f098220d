// The OSD menu's view of the main window's popup menu (a QMenu).
//
// An action is offered by the OSD menu when its tag is not 0 and it is visible; the tag is
// the action's dynamic property "tag" (an integer), which the main window sets on every
// action it builds, separators included. A separator is an action for which isSeparator()
// is true or whose text is "-". An item has subitems when its submenu holds any action.
// Threads: user-interface thread.
#pragma once

#include <QAction>
#include <QMenu>
#include <QPointer>

#include "osd/osd_menu_nav.h"

namespace kv::osd {

inline constexpr const char* kMenuTagProperty = "tag";

// The tag of an action (0 when it has none).
int MenuItemTag(const QAction* action);
void SetMenuItemTag(QAction* action, int tag);

// Caption as drawn: mnemonic marks removed ("&&" stays one "&").
QString PlainCaption(const QString& text);

class TOsdMenuSource final : public IOsdMenuTree {
 public:
  explicit TOsdMenuSource(QMenu* root = nullptr) : root_(root) {}
  void SetRoot(QMenu* root) { root_ = root; }
  QMenu* Root() const { return root_; }

  std::vector<TOsdMenuItem> Level(const std::vector<int>& levelPath) const override;

  // The menu reached through `levelPath`, or null when the path leads nowhere.
  QMenu* MenuAt(const std::vector<int>& levelPath) const;
  // The action at `path` (its last entry indexes the last level), or null.
  QAction* ActionAt(const std::vector<int>& path) const;

 private:
  QPointer<QMenu> root_;
};

}  // namespace kv::osd
