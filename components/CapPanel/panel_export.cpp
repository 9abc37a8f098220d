// The seven exports the player calls. The player passes its main window (a QWidget*) to
// CreatePanel; every call comes on the player's user-interface thread. Nothing may throw
// back into the player.
#include <QPointer>
#include <QWidget>

#include <string>

#include "panel_codes.h"
#include "panel_window.h"

namespace {

using kv::cappanel::TControlPanel;
using kv::cappanel::TPlayerCallback;

QPointer<TControlPanel> g_panel;
TPlayerCallback g_callback = nullptr;
std::string g_registryRoot;  // code 50 comes before CreatePanel

bool SendRequest(int32_t code, int32_t a, int32_t b) {
  if (!g_callback) return false;
  void* data = nullptr;
  return g_callback(code, &a, &b, &data);
}

}  // namespace

#define KV_EXPORT extern "C" __attribute__((visibility("default")))

KV_EXPORT void CreatePanel(void* owner) {
  try {
    delete g_panel.data();
    g_panel = new TControlPanel(static_cast<QWidget*>(owner), g_registryRoot);
    g_panel->Request = SendRequest;
  } catch (...) {
  }
}

KV_EXPORT void ShowPanel() {
  if (g_panel) g_panel->ShowPanel();
}

KV_EXPORT void HidePanel() {
  if (g_panel) g_panel->HidePanel();
}

KV_EXPORT void DestroyPanel() {
  // At once, not later: the player unloads the library right after this call.
  delete g_panel.data();
  g_panel = nullptr;
  g_callback = nullptr;
}

KV_EXPORT void SetPanelFocus() {
  if (g_panel) g_panel->TakeFocus();
}

KV_EXPORT void SetCallback(TPlayerCallback callback) { g_callback = callback; }

KV_EXPORT void Command(int32_t code, int32_t* a, int32_t* b, char** text) {
  try {
    const int32_t valueA = a ? *a : 0;
    const int32_t valueB = b ? *b : 0;
    const char* t = text ? *text : nullptr;
    if (code == kv::cappanel::kRegistryRoot) {
      g_registryRoot = t ? t : "";
      return;
    }
    if (g_panel) g_panel->HandleCommand(code, valueA, valueB, t);
  } catch (...) {
  }
}
