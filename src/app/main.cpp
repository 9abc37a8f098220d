// The program block: the termination handlers (before anything else), the application
// object, the main window (whose FormCreate decides whether this process shows a window at
// all), the message loop.
#include <QApplication>
#include <QDir>

#include <cstdio>
#include <string>
#include <vector>

#include "app/analyze_command.h"
#include "app/commandline.h"
#include "app/mainform.h"
#include "platform/desktop/termination_signals.h"
#include "platform/heap/heap_policy.h"
#include "platform/ui/messagebox_qt.h"

int main(int argc, char** argv) {
  // First of all: a SIGTERM during the start must end through the close path, not kill.
  kv::desktop::InstallTerminationHandlers();
  // Before any thread allocates: a heap that gives memory back during hours of playback.
  kv::heap::ApplyHeapPolicy();
  // File names are resolved against the caller's directory before the program moves to its own.
  const std::string callerCwd = QDir::currentPath().toStdString();
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(kv::CommandLineHelp().c_str(), stdout);
      return 0;
    }
  }

  // The analyzer's batch runs without a window (and without a display).
  if (kv::IsAnalyzeCommand(args)) return kv::RunAnalyzeCommand(args, callerCwd, stdout, stderr);

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kavello_"));
  QApplication::setQuitOnLastWindowClosed(true);

  kv::ui::InstallQtMessageBox();
  kv::TMainForm mainForm(args, callerCwd);
  if (!mainForm.ShowMainForm()) return mainForm.ExitCode();
  for (const std::string& e : mainForm.Arguments().errors) std::fprintf(stderr, "kavello: %s\n", e.c_str());
  mainForm.show();
  return app.exec();
}
