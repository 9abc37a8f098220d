// Scripted runs ("--quit-at-end"): nobody is there to click a message box away, so every
// message that would be a box goes to standard error (the same text, after its caption)
// and to the log, and the run ends with status 1 when something could not be played (0 only
// when everything played).
#include <QCoreApplication>

#include <cstdio>

#include "app/mainform.h"
#include "debugsup/debugsup.h"
#include "platform/ui/messagebox.h"

namespace kv {

void TMainForm::RouteMessagesForScript() {
  QPointer<TMainForm> self(this);
  ui::SetMessageBoxHandler([self](const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    Debug.TextOut(caption + ": " + text);
    if (self) self->scriptFailed_ = true;
  });
}

void TMainForm::StartScript() {
  if (!StartFile.empty()) return;
  // The command line named nothing that can be played (a folder, a pipe, a missing file),
  // or nothing at all: the run is over.
  if (!commandLine_.unplayableArgument.empty())
    ui::ShowMessageBox("Cannot play file " + commandLine_.unplayableArgument, "Error");
  else
    ui::ShowMessageBox("No file to play", "Error");
  scriptFailed_ = true;
  EndScript();
}

void TMainForm::EndScript() {
  exitCode_ = scriptFailed_ ? 1 : 0;
  Debug.TextOut(scriptFailed_ ? "Scripted run ends: not everything played" : "Scripted run ends");
  MMExitClick();
}

}  // namespace kv
