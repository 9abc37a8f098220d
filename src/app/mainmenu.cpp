#include "app/mainmenu.h"

#include <QAction>
#include <QKeySequence>

#include <initializer_list>

namespace kv {
namespace {

enum Flags : unsigned {
  kNone = 0,
  kCheckable = 1,
  kChecked = 2 | kCheckable,
  kDisabled = 4,
  kSeparator = 8,
  kSubmenu = 16,
  // Items of a choice (aspect, rate): the handlers set their checks from the state.
  kRadio = kCheckable,
};

// One row of the menu tree. A submenu row is followed by its children, closed by an kEnd row.
struct Row {
  const char* name;
  const char* caption;
  int tag;
  const char* shortcut;
  unsigned flags;
};

constexpr Row kEnd{nullptr, nullptr, 0, nullptr, 0};

// The tree in display order. Shortcuts are Qt key names.
const Row kTree[] = {
    {"MMAlwaysontop", "Always on top", 1, "O", kCheckable},
    {"MMControlpanel", "Control panel", 1, "F8", kCheckable},
    {"MMTeletext", "Teletext", 0, nullptr, kCheckable | kDisabled},
    {"MMAspectRatio", "Aspect ratio", 1, nullptr, kSubmenu},
    {"MMAspectNone", "Don't keep", 1, "J", kRadio},
    {"MMKeepaspectratio", "Original", 1, "K", kRadio | kChecked},
    {"MMAspect43", "4:3 (TV)", 1, "L", kRadio},
    {"MMAspect169", "16:9 (DVD)", 1, nullptr, kRadio},
    {"MMAspect2410", "24:10 (Cinema)", 1, nullptr, kRadio},
    kEnd,
    {"MMImageMode", "Image mode", 1, nullptr, kSubmenu},
    {"MMWindow", "Window", 1, nullptr, kChecked},
    {"MMFullscreen", "Fullscreen", 1, "F", kCheckable},
    {"MMMinimize", "Minimize", 1, nullptr, kNone},
    {"MMBackground", "Background", 1, "B", kCheckable | kDisabled},
    kEnd,
    {"N1", "-", 1, nullptr, kSeparator},
    {"MMPlayback", "Playback", 1, nullptr, kSubmenu},
    {"MMPlay", "Play", 1, "F4", kNone},
    {"MMPause", "Pause", 1, "F3", kNone},
    {"MMStop", "Stop", 1, "F5", kNone},
    {"MMNext", "Next", 1, "F6", kNone},
    {"MMPrev", "Prev", 1, "F7", kNone},
    {"N2", "-", 1, nullptr, kSeparator},
    {"MMForward10min", "Forward 10 minutes", 1, "PgUp", kNone},
    {"MMForward1min", "Forward 1 minute", 1, "Home", kNone},
    {"MMForward10sec", "Forward 10 sec", 1, "Ins", kNone},
    {"MMBack10sec", "Back 10 sec", 1, "Del", kNone},
    {"MMBack1min", "Back 1 minute", 1, "End", kNone},
    {"MMBack10min", "Back 10 minutes", 1, "PgDown", kNone},
    {"N3", "-", 0, nullptr, kSeparator},
    {"MMRate01", "0.1x", 10, nullptr, kRadio},
    {"MMRate05", "0.5x (half speed)", 50, nullptr, kRadio},
    {"MMRate1", "1x (normal speed)", 100, nullptr, kRadio | kChecked},
    {"MMRate2", "2x (double speed)", 200, nullptr, kRadio},
    {"MMRate5", "5x", 500, nullptr, kRadio},
    {"MMRate10", "10x", 1000, nullptr, kRadio},
    {"MMRate100", "100x", 10000, nullptr, kRadio},
    kEnd,
    {"MMTitles", "Titles", 1, nullptr, kSubmenu},
    kEnd,
    {"MMAudio", "Audio", 1, nullptr, kSubmenu},
    kEnd,
    {"MMSubtitles", "Subtitles", 1, nullptr, kSubmenu},
    {"NoneSubtitle", "None", 1, nullptr, kChecked},
    {"MMChangeframerate", "Change framerate", 0, nullptr, kDisabled},
    {"N4", "-", 1, nullptr, kSeparator},
    kEnd,
    {"MMFilters", "Filters", 0, nullptr, kSubmenu},
    {"MMFiltersVideo", "Video", 0, nullptr, kSubmenu},
    {"VidFiltersConfigure", "Configure", 0, nullptr, kNone},
    {"N5", "-", 0, nullptr, kSeparator},
    {"VidFilter1", "VidFilter1", 1, nullptr, kNone},
    {"VidFilter2", "VidFilter2", 2, nullptr, kNone},
    {"VidFilter3", "VidFilter3", 3, nullptr, kNone},
    {"VidFilter4", "VidFilter4", 4, nullptr, kNone},
    {"VidFilter5", "VidFilter5", 5, nullptr, kNone},
    kEnd,
    {"MMFiltersAudio", "Audio", 0, nullptr, kSubmenu},
    {"AudFiltersConfigure", "Configure", 0, nullptr, kNone},
    {"N6", "-", 0, nullptr, kSeparator},
    {"AudFilter1", "AudFilter1", 1, nullptr, kNone},
    {"AudFilter2", "AudFilter2", 2, nullptr, kNone},
    {"AudFilter3", "AudFilter3", 3, nullptr, kNone},
    {"AudFilter4", "AudFilter4", 4, nullptr, kNone},
    {"AudFilter5", "AudFilter5", 5, nullptr, kNone},
    kEnd,
    kEnd,
    {"MMDevices", "Devices", 0, nullptr, kSubmenu},
    {"MMVideoRenderers", "Video renderers", 0, nullptr, kSubmenu},
    kEnd,
    {"MMAudioRenderers", "Audio renderers", 0, nullptr, kSubmenu},
    kEnd,
    kEnd,
    {"N7", "-", 1, nullptr, kSeparator},
    {"MMProperties", "Media properties", 0, nullptr, kNone},
    {"MMOptions", "Options", 0, nullptr, kNone},
    {"N8", "-", 0, nullptr, kSeparator},
    {"MMOpenFiles", "Open files", 0, nullptr, kNone},
    {"MMOpenINI", "Open INI", 0, nullptr, kDisabled},
    {"MMOpenDir", "Open directory", 0, nullptr, kNone},
    {"MMFileAnalyze", "Open file to analyze", 0, nullptr, kNone},
    {"MMCloseFile", "Close current file(s)", 0, nullptr, kNone},
    {"N9", "-", 0, nullptr, kSeparator},
    {"MMAbout", "About", 0, nullptr, kDisabled},
    {"MMHelp", "Help", 0, nullptr, kDisabled},
    {"MMExit", "Exit", 1, nullptr, kNone},
};

// Builds rows [index, ...) into `menu` until the matching kEnd; returns the index after it.
size_t BuildRows(QMenu* menu, size_t index) {
  const size_t count = sizeof(kTree) / sizeof(kTree[0]);
  while (index < count) {
    const Row& row = kTree[index++];
    if (!row.name) return index;
    if (row.flags & kSubmenu) {
      QMenu* sub = new QMenu(QString::fromUtf8(row.caption), menu);
      sub->setObjectName(QString::fromUtf8(row.name));
      QAction* action = sub->menuAction();
      action->setObjectName(QString::fromUtf8(row.name));
      SetMenuTag(action, row.tag);
      menu->addMenu(sub);
      index = BuildRows(sub, index);
      continue;
    }
    QAction* action = nullptr;
    if (row.flags & kSeparator) {
      action = menu->addSeparator();
    } else {
      action = menu->addAction(QString::fromUtf8(row.caption));
      if (row.shortcut) {
        action->setShortcut(QKeySequence(QString::fromUtf8(row.shortcut)));
        action->setShortcutContext(Qt::WindowShortcut);
      }
    }
    action->setObjectName(QString::fromUtf8(row.name));
    SetMenuTag(action, row.tag);
    if (row.flags & kCheckable) action->setCheckable(true);
    if ((row.flags & kChecked) == kChecked) action->setChecked(true);
    if (row.flags & kDisabled) action->setEnabled(false);
  }
  return index;
}

}  // namespace

void BuildMainMenu(QMenu* menu) {
  menu->setObjectName(QStringLiteral("MainMenu"));
  BuildRows(menu, 0);
}

QAction* FindMenuAction(QMenu* menu, const QString& name) {
  for (QAction* a : menu->actions()) {
    if (a->objectName() == name) return a;
    if (a->menu()) {
      if (QAction* found = FindMenuAction(a->menu(), name)) return found;
    }
  }
  return nullptr;
}

int MenuTag(const QAction* action) { return action ? action->property("tag").toInt() : 0; }

void SetMenuTag(QAction* action, int tag) { action->setProperty("tag", tag); }

}  // namespace kv
