// The popup menu `MainMenu`: every command of the player hangs in it, it is the main window's
// context menu and the OSD builds its own menu from it. Items are QActions named after the
// menu item (`MMPlay`, ...) so that translation files and the OSD can address them; the tag
// lives in the "tag" property. Separators carry a tag too (the OSD shows tagged separators).
// Submenus filled at run time (titles, audio, subtitles, renderers) start with their fixed head.
#pragma once

#include <QMenu>
#include <QString>

class QAction;
class QWidget;

namespace kv {

// Builds the whole fixed tree into `menu`. Actions are parented to the menu tree.
void BuildMainMenu(QMenu* menu);

// Finds an action or submenu action by object name anywhere below `menu`; null when absent.
QAction* FindMenuAction(QMenu* menu, const QString& name);

// The tag property of an action (0 when unset).
int MenuTag(const QAction* action);
void SetMenuTag(QAction* action, int tag);

}  // namespace kv
