// TDirectWindowHost: puts a video surface widget's frames on an X display through a native
// shared-memory window (platform/video/x11_shm_window.h) instead of Qt's backing store.
//
// What it is: the fast presenter of the plain video surface. Where the display is X11 with
// MIT-SHM, the host keeps a native child window over the widget's place in its top-level
// window; a renderer converts each frame straight into that window's shared image and the
// X server shows it, with no copy through Qt and no repaint of the widget. Qt draws its
// other widgets (the OSD panels, the subtitle strip) into the top-level window beneath a
// native child, so whenever any other visible widget of the window overlaps the video,
// the host unmaps its window and the widget paints frames through Qt again, with those
// widgets composed over the picture as before; it maps the window again when they are
// gone. Elsewhere (Wayland, no MIT-SHM, a remote display, a scaled screen) Create()
// returns null and the widget only ever paints through Qt.
//
// Ownership and threads: owned by the widget (a QObject child); lives on the widget's
// thread. Window() may be used from a streaming thread while Active() says so (the widget's
// surface state checks it under its own lock); the host changes activity only through the
// callback it is given, on the widget's thread.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "platform/video/x11_shm_window.h"

class QSocketNotifier;
class QWidget;

namespace kv::qtsurface {

class TDirectWindowHost : public QObject {
 public:
  // `onActive(window-or-null)` is called on the widget's thread whenever frames should go
  // to the native window (non-null) or through Qt (null).
  using TActivate = std::function<void(video::TX11ShmWindow*)>;
  // Null where the display cannot take the native window (see above) or KAVELLO_VIDEO_OUTPUT
  // is "qt".
  static TDirectWindowHost* Create(QWidget* widget, TActivate onActive);
  // The owner stops handing frames to Window() before it deletes the host.
  ~TDirectWindowHost() override;

  // The widget's place, visibility or the widgets over it may have changed: looks again
  // (coalesced: once per turn of the event loop).
  void Reconsider();
  // Looks again at once (the widget's thread). For the first show: the thread that shows the
  // widget may be held by the graph while the first frame is drawn, before the event loop
  // would have come to a queued look.
  void UpdateNow();
  bool Active() const { return Active_; }
  video::TX11ShmWindow* Window() const { return Window_.get(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TDirectWindowHost(QWidget* widget, std::unique_ptr<video::TX11ShmWindow> window, TActivate onActive);
  void Update();
  bool CoveredByOthers() const;

  QWidget* Widget_;
  std::unique_ptr<video::TX11ShmWindow> Window_;
  TActivate OnActive_;
  QSocketNotifier* Events_ = nullptr;
  bool Active_ = false;
  bool Pending_ = false;
};

}  // namespace kv::qtsurface
