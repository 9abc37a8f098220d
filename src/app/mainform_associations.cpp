// The main window's side of file associations: the Associate section of the settings made
// true on the desktop (at start when the settings ask for it, and after the options dialog).
#include <QCoreApplication>

#include <unistd.h>

#include <algorithm>

#include "app/mainform.h"
#include "assoc/associate.h"
#include "debugsup/debugsup.h"
#include "platform/module/program_directory.h"
#include "settings/optunit.h"

namespace kv {

void TMainForm::CheckAssociations() {
  if (!Options) return;
  assoc::TAssociate associate;
  associate.KeyName = "Kavello";
  // The desktop starts the program through its front door "kavello" beside the player.
  associate.PathToApp = ProgramPath("kavello");
  if (::access(associate.PathToApp.c_str(), X_OK) != 0)
    associate.PathToApp = QCoreApplication::applicationFilePath().toStdString();
  associate.IconPath = "kavello";
  associate.Icon = 0;
  associate.ShellCmd = "Play";
  associate.Shell = "\"" + associate.PathToApp + "\" \"%1\"";
  associate.TypeName = "Kavello";
  associate.Log = [](const std::string& line) { Debug.TextOut(line); };

  const auto wanted = [&](const std::string& name) {
    for (size_t i = 0; i < Options->AssociateNames.size(); ++i) {
      if (Options->AssociateNames[i] == name) return i < Options->AssociateFlags.size() && Options->AssociateFlags[i];
    }
    return false;
  };
  std::vector<std::string> current;
  associate.GetAssociatedExtensions(current);
  bool changed = false;
  for (const std::string& ext : current) {
    const std::string name = ext.substr(1);
    if (!wanted(name)) changed = associate.Unassociate(ext) || changed;
  }
  associate.TypeName = "Kavello.file";
  associate.TypeDesc = "Kavello file";
  for (size_t i = 0; i < Options->AssociateNames.size(); ++i) {
    const std::string& name = Options->AssociateNames[i];
    if (!wanted(name) || std::find(current.begin(), current.end(), "." + name) != current.end()) continue;
    changed = associate.Associate("." + name) || changed;
  }
  if (changed) associate.NotifyAssociationsChanged();
}

}  // namespace kv
