// The main window's side of translation: the language file of the chosen language applied to
// every form, and the OSD's words that go with it.
#include "app/mainform.h"
#include "debugsup/debugsup.h"
#include "i18n/language.h"
#include "platform/module/program_directory.h"

namespace kv {

void TMainForm::LoadLanguage(const std::string& name) {
  if (!Translator) return;
  Translator->LanguageFile = ProgramPath("Languages/" + name + ".lng");
  Translator->SetSeparator(",");
  if (!Translator->LoadTranslation()) Debug.TextOut("Cannot read language file " + Translator->LanguageFile);
}

}  // namespace kv
