#include "app/panel_library.h"

#include <cstring>
#include <memory>

namespace kv {
namespace {
// The panel whose callback is installed (user-interface thread only, so no lock).
TPanelLibrary* g_active = nullptr;
}  // namespace

TPanelLibrary::~TPanelLibrary() { Unload(); }

bool TPanelLibrary::Load(const std::string& path) {
  Unload();
  if (!module_.Load(path)) {
    error_ = module_.ErrorText();
    return false;
  }
  createPanel_ = module_.Function<void (*)(void*)>("CreatePanel");
  showPanel_ = module_.Function<void (*)()>("ShowPanel");
  hidePanel_ = module_.Function<void (*)()>("HidePanel");
  destroyPanel_ = module_.Function<void (*)()>("DestroyPanel");
  setPanelFocus_ = module_.Function<void (*)()>("SetPanelFocus");
  command_ = module_.Function<void (*)(int32_t, int32_t*, int32_t*, char**)>("Command");
  setCallback_ = module_.Function<void (*)(TCallback)>("SetCallback");
  if (!createPanel_ || !showPanel_ || !hidePanel_ || !destroyPanel_ || !setPanelFocus_ || !command_ ||
      !setCallback_) {
    error_ = "an export is missing";
    Unload();
    return false;
  }
  loaded_ = true;
  error_.clear();
  return true;
}

void TPanelLibrary::Unload() {
  createPanel_ = nullptr;
  showPanel_ = hidePanel_ = destroyPanel_ = setPanelFocus_ = nullptr;
  command_ = nullptr;
  setCallback_ = nullptr;
  handler_ = nullptr;
  if (g_active == this) g_active = nullptr;
  loaded_ = false;
  module_.Unload();
}

void TPanelLibrary::CreatePanel(void* owner) {
  if (createPanel_) createPanel_(owner);
}
void TPanelLibrary::ShowPanel() {
  if (showPanel_) showPanel_();
}
void TPanelLibrary::HidePanel() {
  if (hidePanel_) hidePanel_();
}
void TPanelLibrary::DestroyPanel() {
  if (destroyPanel_) destroyPanel_();
}
void TPanelLibrary::SetPanelFocus() {
  if (setPanelFocus_) setPanelFocus_();
}

void TPanelLibrary::Command(int32_t code, int32_t a, int32_t b, const std::string* text) {
  if (!command_) return;
  if (!text) {
    char* none = nullptr;
    command_(code, &a, &b, &none);
    return;
  }
  // A zero-terminated copy that the panel may read (but not keep) during the call.
  std::unique_ptr<char[]> copy(new char[text->size() + 1]);
  std::memcpy(copy.get(), text->c_str(), text->size() + 1);
  char* pointer = copy.get();
  command_(code, &a, &b, &pointer);
}

void TPanelLibrary::SetCallback(THandler handler) {
  if (!setCallback_) return;
  handler_ = std::move(handler);
  g_active = this;
  setCallback_(&TPanelLibrary::Callback);
}

bool TPanelLibrary::Callback(int32_t code, int32_t* a, int32_t* b, void** data) {
  if (!g_active || !g_active->handler_) return false;
  // A copy: the handler may unload the library and with it clear handler_.
  THandler handler = g_active->handler_;
  return handler(code, a, b, data);
}

}  // namespace kv
