#include "platform/ui/messagebox_qt.h"

#include <QMessageBox>
#include <QString>

#include "platform/ui/messagebox.h"

namespace kv::ui {

void InstallQtMessageBox() {
  SetMessageBoxHandler([](const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.exec();
  });
}

}  // namespace kv::ui
