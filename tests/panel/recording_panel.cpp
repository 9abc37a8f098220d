#include "recording_panel.h"

namespace {

using kv::test::TRecordedCall;

std::vector<TRecordedCall> g_calls;
bool (*g_callback)(int32_t, int32_t*, int32_t*, void**) = nullptr;

void Record(const char* name) {
  TRecordedCall call;
  call.name = name;
  g_calls.push_back(call);
}

}  // namespace

#define KV_EXPORT extern "C" __attribute__((visibility("default")))

KV_EXPORT void CreatePanel(void* owner) {
  TRecordedCall call;
  call.name = "CreatePanel";
  call.hasOwner = owner != nullptr;
  g_calls.push_back(call);
}
KV_EXPORT void ShowPanel() { Record("ShowPanel"); }
KV_EXPORT void HidePanel() { Record("HidePanel"); }
KV_EXPORT void DestroyPanel() {
  Record("DestroyPanel");
  g_callback = nullptr;
}
#ifndef KV_WITHOUT_FOCUS_EXPORT
KV_EXPORT void SetPanelFocus() { Record("SetPanelFocus"); }
#endif
KV_EXPORT void SetCallback(bool (*callback)(int32_t, int32_t*, int32_t*, void**)) {
  Record("SetCallback");
  g_callback = callback;
}
KV_EXPORT void Command(int32_t code, int32_t* a, int32_t* b, char** text) {
  TRecordedCall call;
  call.name = "Command";
  call.code = code;
  call.a = a ? *a : 0;
  call.b = b ? *b : 0;
  if (text && *text) {
    call.hasText = true;
    call.text = *text;
  }
  g_calls.push_back(call);
}

KV_EXPORT std::vector<TRecordedCall>* RecordedCalls() { return &g_calls; }

KV_EXPORT bool FireRequest(int32_t code, int32_t a, int32_t b) {
  if (!g_callback) return false;
  void* data = nullptr;
  return g_callback(code, &a, &b, &data);
}
