// The Qt side of the message box: installs a handler that shows a QMessageBox (warning icon,
// one OK button, no owner, application modal). Call once after the QApplication exists.
#pragma once

namespace kv::ui {

void InstallQtMessageBox();

}  // namespace kv::ui
