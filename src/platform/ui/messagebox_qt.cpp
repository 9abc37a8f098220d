#include "platform/ui/messagebox_qt.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "platform/ui/messagebox.h"

namespace kv::ui {
namespace {
// User-interface thread only.
QPointer<QWidget>& MainOwner() {
  static QPointer<QWidget> owner;
  return owner;
}
}  // namespace

void SetMessageBoxOwner(QWidget* owner) { MainOwner() = owner; }

QWidget* MessageBoxOwner() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  if (QWidget* main = MainOwner(); main && main->isVisible()) return main->window();
  return QApplication::activeWindow();
}

void InstallQtMessageBox() {
  SetMessageBoxHandler([](const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, MessageBoxOwner());
    box.setObjectName(QStringLiteral("MessageBox"));
    box.exec();
  });
}

}  // namespace kv::ui
