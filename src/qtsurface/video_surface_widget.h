// The Qt side of the video surface: a widget the main window embeds in its video panel.
//
// What it is: TVideoSurfaceWidget is a plain QWidget that paints the last frame a video
// renderer presented. The renderer never sees Qt: it reaches the widget through
// IVideoSurface (platform/video/video_surface.h) by the handle that Handle() returns and
// the engine passes to IVideoWindow::put_Owner.
//
// Ownership and threads: the widget belongs to its Qt parent. Its IVideoSurface is a
// separate shared object (TSurfaceState) that the renderer may keep after the widget is
// gone; calls on it then do nothing. Present() comes on the renderer's streaming thread
// and only stores the frame and wakes the widget's thread (frame_notifier.h), which
// repaints; geometry and visibility calls are carried out on the widget's thread (queued
// when they come from another thread). On an X display with MIT-SHM the frames go past Qt
// into a native window while nothing else lies over the picture (direct_window_host.h).
#pragma once

#include <QWidget>
#include <memory>

#include "platform/video/video_surface.h"

namespace kv::qtsurface {

class TSurfaceState;
class TDirectWindowHost;

class TVideoSurfaceWidget : public QWidget {
  Q_OBJECT
 public:
  explicit TVideoSurfaceWidget(QWidget* parent = nullptr);
  ~TVideoSurfaceWidget() override;

  // The handle the renderer finds this surface by (registered for the widget's life).
  video::TSurfaceHandle Handle() const { return Handle_; }
  std::shared_ptr<video::IVideoSurface> Surface() const;
  // The frame shown now (null before the first); for tests and frame captures.
  std::shared_ptr<const video::TRgbImage> CurrentFrame() const;
  // Number of frames presented so far.
  quint64 PresentedFrames() const;
  // Whether frames go to the native shared-memory window (direct_window_host.h) now.
  bool DirectOutput() const;
  // Runs `grab` (a QWidget::grab or render of this widget or a window holding it) with the
  // picture painted even where the native window covers it: painting skips that area.
  template <typename F>
  auto WithPictureForGrab(F&& grab) {
    paintUnderDirect_ = true;
    struct TReset {
      bool& flag;
      ~TReset() { flag = false; }
    } reset{paintUnderDirect_};
    return grab();
  }

 signals:
  // Emitted on the widget's thread after a new frame arrived for Qt to paint (frames that go
  // to the native window are on screen without the widget's thread).
  void framePresented();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  friend class TSurfaceState;
  TDirectWindowHost* Direct_ = nullptr;  // child; null where frames only go through Qt
  bool DirectTried_ = false;
  bool paintUnderDirect_ = false;  // set by WithPictureForGrab
  std::shared_ptr<TSurfaceState> State_;
  video::TSurfaceHandle Handle_ = 0;
};

}  // namespace kv::qtsurface
