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
  const SavedValues session = CaptureSaved();
  LoadSettings();
  const SavedValues storedBefore = CaptureSaved();
  bool confirmed = showOptions_(owner, 0);
  LoadSettings();
  KeepSessionValues(session, storedBefore);
  showOptions_ = nullptr;
  library_.Unload();
  return confirmed;
}

tOptions::SavedValues tOptions::CaptureSaved() const {
  SavedValues v;
  v.OpenDir = OpenDir;
  v.Left = Left;
  v.Top = Top;
  v.Width = Width;
  v.Height = Height;
  v.AlwaysOnTop = AlwaysOnTop;
  v.KeepAspectRatio = KeepAspectRatio;
  v.AspectRatioX = AspectRatioX;
  v.AspectRatioY = AspectRatioY;
  v.Panel = Panel;
  v.VideoRenderer = VideoRenderer;
  v.AudioRenderer = AudioRenderer;
  for (int i = 0; i < kFilterSlots; ++i) {
    v.VideoFilterFiles[i] = VideoFilters[i].FileName;
    v.AudioFilterFiles[i] = AudioFilters[i].FileName;
  }
  return v;
}

void tOptions::KeepSessionValues(const SavedValues& session, const SavedValues& storedBefore) {
  auto keep = [](auto& field, const auto& sessionValue, const auto& storedValue) {
    if (field == storedValue) field = sessionValue;  // the dialog left it alone
  };
  keep(OpenDir, session.OpenDir, storedBefore.OpenDir);
  keep(Left, session.Left, storedBefore.Left);
  keep(Top, session.Top, storedBefore.Top);
  keep(Width, session.Width, storedBefore.Width);
  keep(Height, session.Height, storedBefore.Height);
  keep(AlwaysOnTop, session.AlwaysOnTop, storedBefore.AlwaysOnTop);
  keep(KeepAspectRatio, session.KeepAspectRatio, storedBefore.KeepAspectRatio);
  keep(AspectRatioX, session.AspectRatioX, storedBefore.AspectRatioX);
  keep(AspectRatioY, session.AspectRatioY, storedBefore.AspectRatioY);
  keep(Panel, session.Panel, storedBefore.Panel);
  keep(VideoRenderer, session.VideoRenderer, storedBefore.VideoRenderer);
  keep(AudioRenderer, session.AudioRenderer, storedBefore.AudioRenderer);
  for (int i = 0; i < kFilterSlots; ++i) {
    keep(VideoFilters[i].FileName, session.VideoFilterFiles[i], storedBefore.VideoFilterFiles[i]);
    keep(AudioFilters[i].FileName, session.AudioFilterFiles[i], storedBefore.AudioFilterFiles[i]);
  }
  CompleteFilterRecords();
}

}  // namespace kv
