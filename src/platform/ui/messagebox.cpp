#include "platform/ui/messagebox.h"

#include <cstdio>
#include <mutex>

namespace kv::ui {

namespace {

std::mutex g_mutex;  // guards g_handler
MessageBoxHandler g_handler;

}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::swap(g_handler, handler);
  return handler;
}

void ShowMessageBox(const std::string& text, const std::string& caption) {
  MessageBoxHandler handler;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    handler = g_handler;
  }
  if (handler) {
    handler(text, caption);
  } else {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
}

}  // namespace kv::ui
