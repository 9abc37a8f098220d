// The export the player calls: ShowAbout(), without arguments. The box is modal over the
// active window; nothing may throw back into the player.
#include <QApplication>

#include "about_dialog.h"

extern "C" __attribute__((visibility("default"))) void ShowAbout() {
  try {
    if (!QApplication::instance()) return;  // no window system: nothing to show
    kv::about::TAboutDialog dialog(QApplication::activeWindow());
    dialog.exec();
  } catch (...) {
  }
}
