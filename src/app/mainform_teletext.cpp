// Teletext: the menu item, the teletext keys and saving pages.
#include <QAction>

#include "app/app_paths.h"
#include "app/keytable.h"
#include "app/mainform.h"
#include "osd/osdunit.h"
#include "settings/optunit.h"

namespace kv {

void TMainForm::MMTeletextClick() {
  if (Player) Player->ShowTeletextPage(!Player->TeletextShown);
  if (QAction* item = Action("MMTeletext")) item->setChecked(Player && Player->TeletextShown);
}

bool TMainForm::TeletextKey(int code) {
  if (!Player || !Player->TeletextActive) return false;
  switch (keys::ClassifyChar(code)) {
    case keys::CharCommand::Teletext: MMTeletextClick(); return true;
    case keys::CharCommand::TeletextTransparent:
      Player->SetTeletextTransparent(!Player->TeletextTransparent);
      return true;
    case keys::CharCommand::SaveAllPages:
      if (!Player->TeletextShown) return false;
      SaveTeletext(true);
      return true;
    case keys::CharCommand::Digit:
      if (!Player->TeletextShown) return false;
      Player->PutTeletextDigit(code - '0');
      return true;
    default: return false;
  }
}

bool TMainForm::TeletextPaging(bool next) {
  if (!Player || !Player->TeletextActive || !Player->TeletextShown) return false;
  if (next) Player->TeletextNextPage();
  else Player->TeletextPrevPage();
  return true;
}

void TMainForm::SaveTeletext(bool allPages) {
  if (!Player) return;
  // An empty directory means the user's data folder: the program folder of an installed
  // player is read-only.
  Player->TeletextDirectory = Options->TeletextDirectory.empty() ? UserDataDirectory() : Options->TeletextDirectory;
  Player->TeletextFilename = Options->Filename;
  Player->TeletextSaveAs = Options->SaveAs;
  Player->TeletextAllToOne = Options->AllToOne;
  const std::string result = allPages ? Player->SaveTeletextPages() : Player->SaveTeletextPage();
  if (!result.empty()) ShowOsdText(QString::fromStdString(result));
}

}  // namespace kv
