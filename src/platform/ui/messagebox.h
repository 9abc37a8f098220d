// The modal message box of the program ("Error" boxes with one OK button), reachable from
// code that has no Qt: the settings, the engine and the filters call ShowMessageBox; the
// application installs the real box (InstallQtMessageBox in messagebox_qt.h) at start, and
// tests install a recorder.
//
// Without an installed handler the message goes to standard error, so nothing is lost in
// tools and tests. Call from the user-interface thread (the box is modal); the handler
// registry itself is thread-safe.
#pragma once

#include <functional>
#include <string>

namespace kv::ui {

// Shows `text` under `caption` with one OK button and no owner window, and returns when the
// user has closed it.
using MessageBoxHandler = std::function<void(const std::string& text, const std::string& caption)>;

// Installs the handler (an empty one restores the standard-error fallback); returns the
// previous handler so that a test can put it back.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

void ShowMessageBox(const std::string& text, const std::string& caption);

}  // namespace kv::ui
