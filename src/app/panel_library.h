// TPanelLibrary: the loaded control panel library and its seven exports.
//
// What it is: a TModule plus the function pointers CreatePanel, ShowPanel, HidePanel,
// DestroyPanel, SetPanelFocus, Command and SetCallback, looked up by these names. A library
// that cannot be loaded or lacks any of the seven is unloaded at once and counts as missing.
// The panel's requests come back through one C callback; the handler given to
// SetRequestHandler receives them (one panel at a time in a process).
// Ownership: the main window owns the object; Unload forgets the pointers and the library.
// Threads: the user-interface thread only (the panel is a window of the same thread).
// Failures: Load returns false with the loader's text in ErrorText(); never throws.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/module/module.h"

namespace kv {

class TPanelLibrary {
 public:
  using TCallback = bool (*)(int32_t code, int32_t* a, int32_t* b, void** data);
  using THandler = std::function<bool(int32_t code, int32_t* a, int32_t* b, void** data)>;

  TPanelLibrary() = default;
  ~TPanelLibrary();
  TPanelLibrary(const TPanelLibrary&) = delete;
  TPanelLibrary& operator=(const TPanelLibrary&) = delete;

  // Loads the library (relative paths from the program directory) and looks up the seven
  // exports. False, with nothing loaded, when the file or any export is missing.
  bool Load(const std::string& path);
  // Forgets the pointers and unloads (DestroyPanel is the caller's business).
  void Unload();
  bool Loaded() const { return loaded_; }
  const std::string& ErrorText() const { return error_; }

  // The exports; each does nothing when no library is loaded.
  void CreatePanel(void* owner);
  void ShowPanel();
  void HidePanel();
  void DestroyPanel();
  void SetPanelFocus();
  // Command with the addresses of a, b and of the text pointer (null without text).
  void Command(int32_t code, int32_t a, int32_t b, const std::string* text);
  // Hands the library the C callback; its calls go to `handler`.
  void SetCallback(THandler handler);

 private:
  static bool Callback(int32_t code, int32_t* a, int32_t* b, void** data);

  TModule module_;
  bool loaded_ = false;
  std::string error_;
  void (*createPanel_)(void*) = nullptr;
  void (*showPanel_)() = nullptr;
  void (*hidePanel_)() = nullptr;
  void (*destroyPanel_)() = nullptr;
  void (*setPanelFocus_)() = nullptr;
  void (*command_)(int32_t, int32_t*, int32_t*, char**) = nullptr;
  void (*setCallback_)(TCallback) = nullptr;
  THandler handler_;
};

}  // namespace kv
