#include "osd/osd_menu_source.h"

namespace kv::osd {

int MenuItemTag(const QAction* action) {
  return action ? action->property(kMenuTagProperty).toInt() : 0;
}

void SetMenuItemTag(QAction* action, int tag) {
  if (action) action->setProperty(kMenuTagProperty, tag);
}

QString PlainCaption(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&')) {
      if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) {
        out += QLatin1Char('&');
        ++i;
      }
      continue;
    }
    out += text[i];
  }
  return out;
}

QMenu* TOsdMenuSource::MenuAt(const std::vector<int>& levelPath) const {
  QMenu* menu = root_.data();
  for (int index : levelPath) {
    if (!menu) return nullptr;
    const auto actions = menu->actions();
    if (index < 0 || index >= actions.size()) return nullptr;
    menu = actions[index]->menu();
  }
  return menu;
}

QAction* TOsdMenuSource::ActionAt(const std::vector<int>& path) const {
  if (path.empty()) return nullptr;
  QMenu* menu = MenuAt({path.begin(), path.end() - 1});
  if (!menu) return nullptr;
  const auto actions = menu->actions();
  const int index = path.back();
  return index >= 0 && index < actions.size() ? actions[index] : nullptr;
}

std::vector<TOsdMenuItem> TOsdMenuSource::Level(const std::vector<int>& levelPath) const {
  std::vector<TOsdMenuItem> items;
  QMenu* menu = MenuAt(levelPath);
  if (!menu) return items;
  const auto actions = menu->actions();
  items.reserve(static_cast<size_t>(actions.size()));
  for (const QAction* action : actions) {
    TOsdMenuItem item;
    item.Listed = MenuItemTag(action) != 0 && action->isVisible();
    item.Separator = action->isSeparator() || action->text() == QLatin1String("-");
    item.Enabled = action->isEnabled();
    item.HasSubmenu = action->menu() && !action->menu()->actions().isEmpty();
    items.push_back(item);
  }
  return items;
}

}  // namespace kv::osd
