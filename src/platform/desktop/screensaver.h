// Suspending the screen saver and display power saving while the player runs.
//
// What it is: the desktop side of "no screen saver, no power saving while a film plays".
// On X11 we first ask the server to suspend its screen saver for as long as our connection
// lives (XScreenSaverSuspend, which holds off DPMS as well): the server itself undoes it
// when the process ends in any way, a crash or SIGKILL included, so no setting is left
// switched off. Only where that extension is missing do we fall back to the server
// settings: read the screen saver time-out and the DPMS state once, switch them off, and
// put back exactly what we read at exit (also on SIGTERM/SIGINT, which the app turns into a
// normal close). A display without the DPMS extension (virtual X servers) skips the DPMS
// part. Where a session bus exists we also
// hold a freedesktop ScreenSaver inhibit, which desktop environments honour instead of the
// X settings; it is released at exit.
//
// Threads: user-interface thread only. Owned by the main window.
#pragma once

#include <cstdint>
#include <string>

struct _XDisplay;

namespace kv::desktop {

// The desktop state we change and restore. The five values of the screen-saver and
// power-saving pair are kept in their X11 form so that the restore is exact.
struct SaverState {
  bool haveDisplay = false;
  // Screen saver (XGetScreenSaver)
  int timeout = 0;
  int interval = 0;
  int preferBlanking = 0;
  int allowExposures = 0;
  // DPMS (absent on displays without the extension)
  bool dpmsCapable = false;
  bool dpmsEnabled = false;
  uint16_t dpmsStandby = 0;
  uint16_t dpmsSuspend = 0;
  uint16_t dpmsOff = 0;

  bool ScreenSaveActive() const { return timeout != 0; }
  bool LowPowerActive() const { return dpmsEnabled && dpmsSuspend != 0; }
  int LowPowerTimeout() const { return dpmsSuspend; }
  bool PowerOffActive() const { return dpmsEnabled && dpmsOff != 0; }
  int PowerOffTimeout() const { return dpmsOff; }
};

class ScreenSaverControl {
 public:
  ScreenSaverControl() = default;
  ~ScreenSaverControl();  // restores when still suspended
  ScreenSaverControl(const ScreenSaverControl&) = delete;
  ScreenSaverControl& operator=(const ScreenSaverControl&) = delete;

  // Reads the current state of the X display named by $DISPLAY. False with no display.
  static bool ReadState(SaverState& out);

  // Reads and remembers the state, then switches screen saver and DPMS off and takes the
  // session-bus inhibit. Returns the state that was read (haveDisplay false without X).
  SaverState Suspend();
  // Puts back exactly what Suspend read. Safe to call twice.
  void Restore();
  bool Suspended() const { return suspended_; }
  // True when the server holds the suspension for this process (nothing to restore).
  bool SuspendedByServer() const { return serverSuspend_ != nullptr; }

 private:
  SaverState saved_;
  // The connection that holds the server-side suspension open (XScreenSaverSuspend).
  _XDisplay* serverSuspend_ = nullptr;
  bool suspended_ = false;
  uint32_t inhibitCookie_ = 0;
  bool inhibited_ = false;
};

}  // namespace kv::desktop
