// The teletext operations: showing, page entry and paging, transparency, saving pages.
#include "debugsup/debugsup.h"
#include "engine/contrl.h"
#include "engine/teletext_name.h"

namespace kv {

namespace {

constexpr HRESULT kNotImplemented = E_NOTIMPL;

}  // namespace

bool TCOMPlay::ShowTeletextPage(bool on) {
  if (!TeletextActive || !Teletext) return false;
  if (FAILED(Teletext->ShowTeletext(on ? 1 : 0))) return false;
  TeletextShown = on;
  return true;
}

void TCOMPlay::PutTeletextDigit(int32_t digit) {
  if (!Teletext) return;
  Debug.TextOut("TTX put page");
  Teletext->PutPageDigit(digit, TeletextAnySubpage);
}

bool TCOMPlay::TeletextNextPage() {
  if (!Teletext) return false;
  Debug.TextOut("TTX put page");
  Teletext->NextPage(0);
  return true;
}

bool TCOMPlay::TeletextPrevPage() {
  if (!Teletext) return false;
  Debug.TextOut("TTX put page");
  Teletext->PrevPage(0);
  return true;
}

void TCOMPlay::SetTeletextTransparent(bool on) {
  if (on == TeletextTransparent || !Teletext) return;
  TeletextTransparent = on;
  Debug.BoolOut("Teletext transparency:", on);
  Teletext->SetTransparent(on ? 1 : 0);
}

std::string TCOMPlay::TeletextSaveName(bool singlePage) {
  std::string name = TeletextNameStem(TeletextDirectory, TeletextFilename, FileName, LocalTimeNow(), singlePage);
  if (singlePage && TeletextNameHasPage(TeletextFilename)) {
    Debug.TextOut("Get txt page");
    int32_t page = 0, subpage = 0;
    Teletext->GetPage(&page, &subpage);
    Debug.IntegerOut("Page", page);
    name += TeletextPageTag(page, subpage);
  }
  return name + TeletextExtension(TeletextSaveAs);
}

std::string TCOMPlay::SaveTeletextPage() {
  if (!Teletext) return {};
  Debug.IntegerOut("Save txt page", TeletextFilename);
  const std::string name = TeletextSaveName(true);
  Debug.IntegerOut("Format", TeletextSaveAs);
  const int32_t format = TeletextFormatBits(TeletextSaveAs);
  if (format < 0) return {};
  Debug.TextOut("Save txt: " + name);
  const HRESULT hr = Teletext->SavePages(format, 0, 0, name.c_str());
  if (hr == S_OK) return name + " saved";
  return hr == kNotImplemented ? "Not implemented" : "Error saving";
}

std::string TCOMPlay::SaveTeletextPages() {
  if (!Teletext) return {};
  Debug.IntegerOut("Save ttx pages", TeletextFilename);
  const std::string name = TeletextSaveName(false);
  Debug.IntegerOut("Format", TeletextSaveAs);
  const int32_t format = TeletextFormatBits(TeletextSaveAs);
  // A bitmap holds one page: saving all pages as bitmaps does nothing.
  if (format < 0 || TeletextSaveAs == 0) return {};
  Debug.TextOut("Save ttx: " + name);
  const HRESULT hr = Teletext->SavePages(format + (TeletextAllToOne ? 3 : 2), 0, 0, name.c_str());
  if (hr == S_OK) return "Pages saved";
  return hr == kNotImplemented ? "Not implemented" : "Error saving";
}

}  // namespace kv
