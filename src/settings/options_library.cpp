// tOptions::ShowOptionsDialog: the call into the options library.
#include "debugsup/debugsup.h"
#include "platform/ui/messagebox.h"
#include "settings/optunit.h"

namespace kv {

namespace {

constexpr const char* kLibrary = "Components/Options.so";
constexpr const char* kDebugLibrary = "Components/Options/Options.so";
constexpr const char* kExport = "ShowOptions";
constexpr const char* kCannotLoad = "Can`t load Options library!";

}  // namespace

std::string tOptions::OptionsLibraryPath() const { return DebugMode ? kDebugLibrary : kLibrary; }

bool tOptions::ShowOptionsDialog(void* owner) {
  bool loaded = library_.Load(OptionsLibraryPath());
  if (loaded) {
    showOptions_ = library_.Function<bool (*)(void*, int)>(kExport);
  }
  if (!loaded || !showOptions_) {
    // A library without the export is as good as none.
    Debug.TextOut("Options library " + library_.Path() + ": " + library_.ErrorText());
    library_.Unload();
    showOptions_ = nullptr;
    ui::ShowMessageBox(kCannotLoad, "Error");
    return false;
  }
  bool confirmed = showOptions_(owner, 0);
  LoadSettings();
  showOptions_ = nullptr;
  library_.Unload();
  return confirmed;
}

}  // namespace kv
