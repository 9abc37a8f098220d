// The export the player calls: ShowOptions(owner, 0).
#include <QApplication>
#include <QMessageBox>

#include <memory>

#include "options_dialog.h"

namespace {

// The player always has a QApplication; a host without one (a tool) gets a private one.
std::unique_ptr<QApplication> EnsureApplication() {
  if (QApplication::instance()) return nullptr;
  static int argc = 1;
  static char name[] = "Options";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QApplication>(argc, argv);
}

}  // namespace

// Shows the options dialog modally over `owner` (a QWidget*, may be null). True when the user
// confirmed and the settings were written, false on Cancel or when they could not be written.
// `mode` is reserved (the player passes 0).
extern "C" __attribute__((visibility("default"))) bool ShowOptions(void* owner, int mode) {
  (void)mode;
  try {
    auto application = EnsureApplication();
    kv::options::TOptionsDialog dialog(static_cast<QWidget*>(owner));
    dialog.Load();
    if (dialog.exec() != QDialog::Accepted) return false;
    if (dialog.Save()) return true;
    QMessageBox::warning(static_cast<QWidget*>(owner), QStringLiteral("Error"),
                         QStringLiteral("Cannot save the settings to %1")
                             .arg(QString::fromStdString(kv::registry::HivePath(kv::registry::Hive::CurrentUser))));
    return false;
  } catch (...) {
    return false;  // nothing may cross back into the player
  }
}
