// The menu command "Options": the options library's dialog, and what the window does with the
// settings it brings back (file associations and the translation are their own files).
#include "app/mainform.h"
#include "debugsup/debugsup.h"
#include "osd/osdunit.h"
#include "settings/optunit.h"

namespace kv {

void TMainForm::MMOptionsClick() {
  if (!Options) return;
  CursorHideAllowed = false;
  const std::string language = Options->Language;
  if (Options->ShowOptionsDialog(this)) {
    FormResize();
    CheckAssociations();
    if (OnScreen) OnScreen->SetEnabled(Options->OSD);
    if (Options->Language != language) LoadLanguage(Options->Language);
    if (OnScreen) {
      OnScreen->LanguageName = Options->Language;
      OnScreen->LoadLayout();
    }
    ApplyEngineSettings();
    Debug.TextOut(std::string("Options applied, OSD ") + (Options->OSD ? "on" : "off"));
  }
  CursorHideAllowed = true;
}

void TMainForm::ApplyEngineSettings() {
  if (!Player || !Options) return;
  // The engine keeps its own copy of these: a frame captured after the dialog must be
  // written in the format its file name says, and new titles get the chosen sound output.
  Player->AC3WaveOut = Options->AC3WaveOut;
  Player->CaptureEnabled = Options->CaptureEnabled;
  Player->ColorDepth = Options->ColorDepth;
  Player->Quality = Options->Quality;
}

}  // namespace kv
