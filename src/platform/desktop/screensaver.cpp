#include "platform/desktop/screensaver.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>
#include <X11/extensions/scrnsaver.h>

#include <memory>

#include "platform/desktop/session_bus.h"

namespace kv::desktop {
namespace {

struct DisplayCloser {
  void operator()(Display* d) const {
    if (d) XCloseDisplay(d);
  }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

DisplayPtr OpenDisplay() { return DisplayPtr(XOpenDisplay(nullptr)); }

bool HasDpms(Display* d) {
  int event = 0, error = 0;
  return DPMSQueryExtension(d, &event, &error) && DPMSCapable(d);
}

const char* kSaverService = "org.freedesktop.ScreenSaver";
const char* kSaverPath = "/org/freedesktop/ScreenSaver";

}  // namespace

bool ScreenSaverControl::ReadState(SaverState& out) {
  out = SaverState{};
  DisplayPtr d = OpenDisplay();
  if (!d) return false;
  out.haveDisplay = true;
  XGetScreenSaver(d.get(), &out.timeout, &out.interval, &out.preferBlanking, &out.allowExposures);
  if (HasDpms(d.get())) {
    out.dpmsCapable = true;
    CARD16 level = 0;
    BOOL on = False;
    if (DPMSInfo(d.get(), &level, &on)) out.dpmsEnabled = on;
    CARD16 s = 0, u = 0, o = 0;
    if (DPMSGetTimeouts(d.get(), &s, &u, &o)) {
      out.dpmsStandby = s;
      out.dpmsSuspend = u;
      out.dpmsOff = o;
    }
  }
  return true;
}

namespace {

// A connection on which the server suspends its screen saver (and DPMS) until it closes;
// null when the extension (version 1.1) is missing.
Display* OpenServerSuspension() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return nullptr;
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XScreenSaverQueryExtension(d, &event, &error) || !XScreenSaverQueryVersion(d, &major, &minor) ||
      major < 1 || (major == 1 && minor < 1)) {
    XCloseDisplay(d);
    return nullptr;
  }
  XScreenSaverSuspend(d, True);
  XSync(d, False);
  return d;
}

}  // namespace

SaverState ScreenSaverControl::Suspend() {
  if (suspended_) return saved_;
  ReadState(saved_);
  if (saved_.haveDisplay) serverSuspend_ = OpenServerSuspension();
  if (saved_.haveDisplay && !serverSuspend_) {
    DisplayPtr d = OpenDisplay();
    if (d) {
      XSetScreenSaver(d.get(), 0, saved_.interval, saved_.preferBlanking, saved_.allowExposures);
      if (saved_.dpmsCapable) DPMSDisable(d.get());
      XSync(d.get(), False);
    }
  }
  suspended_ = true;
  if (SessionBusAvailable() && QDBusConnection::sessionBus().isConnected()) {
    QDBusInterface saver(kSaverService, kSaverPath, kSaverService, QDBusConnection::sessionBus());
    if (saver.isValid()) {
      QDBusReply<uint32_t> reply = saver.call("Inhibit", QStringLiteral("Kavello"),
                                              QStringLiteral("Playing video"));
      if (reply.isValid()) {
        inhibitCookie_ = reply.value();
        inhibited_ = true;
      }
    }
  }
  return saved_;
}

void ScreenSaverControl::Restore() {
  if (!suspended_) return;
  suspended_ = false;
  if (serverSuspend_) {
    // Closing the connection ends the suspension; the settings were never touched.
    XScreenSaverSuspend(serverSuspend_, False);
    XCloseDisplay(serverSuspend_);
    serverSuspend_ = nullptr;
  } else if (saved_.haveDisplay) {
    DisplayPtr d = OpenDisplay();
    if (d) {
      XSetScreenSaver(d.get(), saved_.timeout, saved_.interval, saved_.preferBlanking,
                      saved_.allowExposures);
      if (saved_.dpmsCapable) {
        DPMSSetTimeouts(d.get(), saved_.dpmsStandby, saved_.dpmsSuspend, saved_.dpmsOff);
        if (saved_.dpmsEnabled)
          DPMSEnable(d.get());
        else
          DPMSDisable(d.get());
      }
      XSync(d.get(), False);
    }
  }
  if (inhibited_ && QDBusConnection::sessionBus().isConnected()) {
    QDBusInterface saver(kSaverService, kSaverPath, kSaverService, QDBusConnection::sessionBus());
    if (saver.isValid()) saver.call("UnInhibit", inhibitCookie_);
  }
  inhibited_ = false;
}

ScreenSaverControl::~ScreenSaverControl() { Restore(); }

}  // namespace kv::desktop
