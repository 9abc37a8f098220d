// TAboutDialog: the About box: the player's name and version, the build's date and a table
// of the libraries in use (name, version, licence).
// Ownership: a modal dialog made by ShowAbout on the caller's (user-interface) thread.
#pragma once

#include <QDialog>

class QTableWidget;

namespace kv::about {

class TAboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutDialog(QWidget* parent = nullptr);
  QTableWidget* Libraries() const { return libraries_; }

 private:
  QTableWidget* libraries_ = nullptr;
};

}  // namespace kv::about
