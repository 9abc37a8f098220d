// tOptions: every user setting of the program as a plain field named after its registry
// value, read from and written to "Software\Tessaland\Kavello" in the per-user registry.
//
// Ownership: the main window creates the one object (the global `Options`) early in its create
// handler and frees it late in its close handler; it owns the registry accessor and, while
// the options dialog is up, the options library.
// Threads: user-interface thread only.
// Reading: LoadSettings reads every section (creating missing ones) at start and after the
// options dialog; a missing value, or one stored with another type, gives the default.
// Writing: SaveSettings writes only the values the program itself changes (window placement,
// aspect, panel, renderers, filter chains, open directory); every other value is maintained
// by the options library (Components/Options.so, ShowOptionsDialog).
// Pure C++, no Qt: the owner window crosses as an opaque pointer.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/module/module.h"
#include "platform/registry/registry.h"
#include "settings/filterstruct.h"

namespace kv {

// Codes of the "ColorDepth" capture setting.
constexpr int32_t kColorDepthBmp16 = 1;   // "BMP 16 bits"
constexpr int32_t kColorDepthBmp24 = 3;   // any other text
constexpr int32_t kColorDepthJpeg = 256;  // "JPEG"

class tOptions {
 public:
  // Creates the registry accessor; fields hold the defaults until LoadSettings.
  tOptions();
  ~tOptions();
  tOptions(const tOptions&) = delete;
  tOptions& operator=(const tOptions&) = delete;

  // Reads every section in table order, then completes the filter records from the
  // descriptor files Filters/<name>.vid and Filters/<name>.aud of the program directory.
  void LoadSettings();
  // Writes the saved values: root "OpenDir"; Position placement, aspect and "Panel"; Player
  // renderers; the ten filter slots. False when the registry file could not be written.
  bool SaveSettings();
  // Runs the options library's dialog (Components/Options.so, or Components/Options/Options.so
  // with DebugMode) with `owner` (the main window as a QWidget*, may be null). A missing
  // library, or one without the "ShowOptions" export, shows "Can`t load Options library!" and
  // gives false; otherwise the settings are loaded again and the dialog's result (true =
  // confirmed) is returned. The values the program saves at exit keep what this session set
  // (aspect, always on top, renderers, filters...) unless the dialog changed them itself, so
  // that the menus and the window never disagree with the settings after the dialog.
  bool ShowOptionsDialog(void* owner = nullptr);

  // The library the dialog would be loaded from, relative to the program directory.
  std::string OptionsLibraryPath() const;

  std::string Version;
  bool DebugMode = false;  // from the "/debug" switch, not stored
  bool MultipleInst = false;
  bool AlwaysOnTop = false;
  bool KeepAspectRatio = true;
  int32_t AspectRatioX = 0;
  int32_t AspectRatioY = 0;
  bool Centered = true;
  bool HideCursor = true;
  int32_t Left = 100;
  int32_t Top = 100;
  int32_t Width = 320;
  int32_t Height = 180;
  bool IsNT5 = true;  // the platform is a current one (always, on Linux)
  std::string Language = "English";
  bool Panel = true;
  double ZoomStep = 0.25;
  int32_t ZoomPosStep = 5;
  int32_t ZoomCropStep = 5;
  bool DisablePreview = false;
  bool DisableImageAnalyze = false;
  std::string FontName = "Arial";
  int32_t FontEnc = 0;
  int32_t FontSize = 15;
  int32_t FontColor = 16777215;
  bool Transparent = true;
  bool BlackBorder = true;
  bool FontBorder = false;
  int32_t FontBorderColor = 0;
  std::string VideoRenderer;
  std::string AudioRenderer;
  int32_t Volume = 0;  // last master volume read from the mixer, 0..65535; not stored
  bool CaptureEnabled = true;
  std::string CaptureDirectory;  // empty, or ending with "/"
  int32_t ColorDepth = kColorDepthBmp24;
  int32_t Quality = 75;
  TFiltersInChain VideoFilters;
  TFiltersInChain AudioFilters;
  bool Statistics = true;
  bool StatNoReset = true;
  bool AC3WaveOut = true;
  std::string OpenDir;
  bool OSD = true;
  bool DVNTSC = false;
  int32_t SaveAs = 0;
  int32_t Filename = 0;
  std::string TeletextDirectory;
  bool AllToOne = false;
  bool Permanent = false;
  std::vector<std::string> AssociateNames;  // value names of the Associate section
  std::vector<bool> AssociateFlags;         // one per entry of AssociateNames
  bool AssociateCheck = false;

 private:
  // Opens a section (creating it when missing): "" is the root key.
  void OpenSection(const char* section);
  std::string ReadString(const std::string& name, const std::string& def);
  int32_t ReadInteger(const std::string& name, int32_t def);
  bool ReadBool(const std::string& name, bool def);
  double ReadFloat(const std::string& name, double def);
  void LoadWindowSections();    // root, Position, Display
  void LoadPlaybackSections();  // Subtitles, Player, Analyze
  void LoadSavingSections();    // Teletext, Frame Capture
  void LoadAssociations();
  void LoadFilterChain(const char* section, TFiltersInChain& chain);
  void CompleteFilterRecords();

  // The values SaveSettings writes.
  struct SavedValues {
    std::string OpenDir;
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    bool AlwaysOnTop = false, KeepAspectRatio = false;
    int32_t AspectRatioX = 0, AspectRatioY = 0;
    bool Panel = false;
    std::string VideoRenderer, AudioRenderer;
    std::array<std::string, kFilterSlots> VideoFilterFiles, AudioFilterFiles;
  };
  SavedValues CaptureSaved() const;
  // Puts back each session value whose stored value is still `storedBefore`'s.
  void KeepSessionValues(const SavedValues& session, const SavedValues& storedBefore);

  TModule library_;                     // the options library while it is loaded
  registry::TRegistry registry_;        // HKEY_CURRENT_USER
  bool (*showOptions_)(void*, int) = nullptr;  // the library's export while it is loaded
  bool sectionOpen_ = false;                   // the section being read is open
};

// The program's settings, owned by the main window (null before its create handler and
// after its close handler).
extern std::unique_ptr<tOptions> Options;

// The capture folder as the settings hold it: a "/" appended to a non-empty text without one.
std::string NormalizeCaptureDirectory(const std::string& directory);
// "BMP 16 bits" -> 1, "JPEG" -> 256, anything else (compared exactly) -> 3.
int32_t ColorDepthCode(const std::string& text);
// A JPEG quality outside 1..100 becomes 75.
int32_t NormalizeQuality(int32_t quality);

}  // namespace kv
