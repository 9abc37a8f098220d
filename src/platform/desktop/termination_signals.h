// SIGTERM and SIGINT turned into a Qt signal on the user-interface thread, so that they close
// the main window exactly as the "Exit" command does (settings saved, desktop restored).
//
// The handler only writes one byte to a socket pair (async-signal-safe); a QSocketNotifier
// on the other end emits terminationRequested() in the event loop. One instance per process.
// InstallTerminationHandlers() sets up the socket pair and the handlers on its own, first
// thing in main: a signal that comes before the window exists waits in the socket and is
// acted on as soon as the TerminationSignals object listens.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace kv::desktop {

// Installs the SIGTERM and SIGINT handlers (and unblocks both signals, which a launcher may
// have left blocked). Async-signal-safe to receive from then on; call it from main before
// any thread starts. Idempotent; false when the socket pair or the handlers fail.
bool InstallTerminationHandlers();

class TerminationSignals : public QObject {
  Q_OBJECT
 public:
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;
  bool Install();  // false when the socket pair or the handlers cannot be set up

 signals:
  void terminationRequested(int signalNumber);

 private:
  void OnReadable();
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kv::desktop
