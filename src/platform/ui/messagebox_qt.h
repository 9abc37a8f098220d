// The Qt side of the message box: installs a handler that shows a QMessageBox (warning icon,
// one OK button, application modal). Call once after the QApplication exists.
//
// The box always has an owner, so that it opens above the window it is about (a full-screen
// window that stays on top would otherwise hide an ownerless box and leave the program
// blocked behind it): the dialog that is up, else the program's main window, else the active
// window.
#pragma once

class QWidget;

namespace kv::ui {

void InstallQtMessageBox();

// The program's main window, the owner of a box when no dialog is up (null: none). The
// window is watched: a destroyed one is forgotten.
void SetMessageBoxOwner(QWidget* owner);

// The owner a box opened now would get (null when the program has no window).
QWidget* MessageBoxOwner();

}  // namespace kv::ui
