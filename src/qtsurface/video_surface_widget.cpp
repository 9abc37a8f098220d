#include "qtsurface/video_surface_widget.h"

#include <QImage>
#include <QMetaObject>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QThread>
#include <atomic>
#include <cstring>
#include <mutex>

#include "qtsurface/direct_window_host.h"
#include "qtsurface/frame_notifier.h"

namespace kv::qtsurface {

// The renderer's view of the widget. Lives as long as anyone holds it.
class TSurfaceState final : public video::IVideoSurface {
 public:
  TSurfaceState(TVideoSurfaceWidget* widget, TFrameNotifier* notifier)
      : Widget_(widget), Notifier_(notifier), Thread_(widget->thread()) {}

  void Detach() {
    SetDirect(nullptr, nullptr);
    std::lock_guard<std::mutex> lock(Mutex_);
    Widget_ = nullptr;
    Notifier_ = nullptr;
  }

  // The native window frames go to (null: through Qt), and the one whose image the widget
  // paints when the last frame went there. Widget's thread.
  void SetDirect(video::TX11ShmWindow* active, video::TX11ShmWindow* shown) {
    std::lock_guard<std::mutex> direct(DirectMutex_);  // waits for a frame being written
    Direct_ = active;
    std::shared_ptr<const video::TRgbImage> frame;
    {
      std::lock_guard<std::mutex> lock(Mutex_);
      Shown_ = shown;
      if (!shown) LastDirect_ = false;
      if (!active || LastDirect_) return;
      frame = Frame_;
    }
    // Going native while paused: the frame Qt showed moves into the window.
    video::TFrameTarget target;
    if (!frame || !active->BeginFrame(frame->Width, frame->Height, &target)) return;
    for (int y = 0; y < frame->Height; ++y)
      std::memcpy(target.Pixels + static_cast<size_t>(y) * target.Stride, frame->Row(y),
                  static_cast<size_t>(frame->Width) * 4);
    active->EndFrame(true);
    std::lock_guard<std::mutex> lock(Mutex_);
    LastDirect_ = true;
  }

  bool BeginDirectFrame(int width, int height, video::TFrameTarget* target) override {
    DirectMutex_.lock();
    if (!Direct_ || !Direct_->BeginFrame(width, height, target)) {
      DirectMutex_.unlock();
      return false;
    }
    return true;  // DirectMutex_ stays held until EndDirectFrame
  }

  void EndDirectFrame(bool show) override {
    Direct_->EndFrame(show);
    if (show) {
      // On screen already: nothing for the widget's thread to do, so it is not woken (two
      // wakes a frame with the server's completion event otherwise).
      std::lock_guard<std::mutex> lock(Mutex_);
      Frame_.reset();
      LastDirect_ = true;
      ++Presented_;
    }
    DirectMutex_.unlock();
  }

  bool PresentToDirect(const video::TRgbImage& frame) {
    std::lock_guard<std::mutex> direct(DirectMutex_);
    video::TFrameTarget target;
    if (!Direct_ || frame.Empty() || !Direct_->BeginFrame(frame.Width, frame.Height, &target)) return false;
    for (int y = 0; y < frame.Height; ++y)
      std::memcpy(target.Pixels + static_cast<size_t>(y) * target.Stride, frame.Row(y),
                  static_cast<size_t>(frame.Width) * 4);
    Direct_->EndFrame(true);
    return true;
  }

  // Whether the last frame went to the native window (nothing for Qt to paint per frame).
  bool LastDirect() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return LastDirect_;
  }
  // Calls `paint` with the frame shown now, wherever it lives.
  template <class F>
  void ReadFrame(F paint) const {
    std::lock_guard<std::mutex> lock(Mutex_);
    if (!LastDirect_) {
      if (Frame_ && !Frame_->Empty())
        paint(video::TFrameTarget{const_cast<uint8_t*>(Frame_->Pixels.data()), Frame_->Width, Frame_->Height,
                                  Frame_->Stride});
      return;
    }
    if (Shown_) Shown_->ReadCurrent(paint);
  }

  void Present(std::shared_ptr<const video::TRgbImage> frame) override {
    // A frame composed by the renderer (a second picture mixed in, such as a teletext page)
    // while the native window covers the widget: it goes into that window, or Qt would
    // paint it underneath where nobody sees it.
    if (frame && PresentToDirect(*frame)) {
      std::lock_guard<std::mutex> lock(Mutex_);
      Frame_ = std::move(frame);
      LastDirect_ = true;
      ++Presented_;
      return;
    }
    std::lock_guard<std::mutex> lock(Mutex_);
    Frame_ = std::move(frame);
    LastDirect_ = false;
    ++Presented_;
    // Under the lock: the widget's destructor detaches under the same lock before the
    // notifier (its child) goes.
    if (Notifier_) Notifier_->Notify();
  }

  int Width() const override { return Width_.load(); }
  int Height() const override { return Height_.load(); }

  void SetGeometry(const video::TSurfaceRect& rect) override {
    OnWidgetThread([this, rect](TVideoSurfaceWidget* w) {
      w->setGeometry(rect.Left, rect.Top, rect.Width, rect.Height);
      // A hidden widget gets its resize event only when shown; the renderer needs the
      // size now.
      SetSize(w->width(), w->height());
    });
  }
  void SetVisible(bool visible) override {
    OnWidgetThread([visible](TVideoSurfaceWidget* w) { w->setVisible(visible); });
  }
  void Repaint() override {
    OnWidgetThread([](TVideoSurfaceWidget* w) { w->update(); });
  }
  void SetBackground(uint32_t rgb) override {
    Background_.store(rgb);
    Repaint();
  }

  std::shared_ptr<const video::TRgbImage> Frame() const {
    {
      std::lock_guard<std::mutex> lock(Mutex_);
      if (!LastDirect_) return Frame_;
    }
    // A copy of the native window's image (tests and captures only).
    std::shared_ptr<video::TRgbImage> copy;
    ReadFrame([&copy](const video::TFrameTarget& shown) {
      copy = std::make_shared<video::TRgbImage>();
      copy->Resize(shown.Width, shown.Height);
      for (int y = 0; y < shown.Height; ++y)
        std::memcpy(copy->Row(y), shown.Pixels + static_cast<size_t>(y) * shown.Stride,
                    static_cast<size_t>(shown.Width) * 4);
    });
    return copy;
  }
  quint64 Presented() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Presented_;
  }
  uint32_t Background() const { return Background_.load(); }
  void SetSize(int w, int h) {
    Width_.store(w);
    Height_.store(h);
  }

 private:
  template <class F>
  void OnWidgetThread(F action) {
    std::unique_lock<std::mutex> lock(Mutex_);
    TVideoSurfaceWidget* widget = Widget_;
    if (!widget) return;
    if (QThread::currentThread() == Thread_) {
      // On the widget's own thread it cannot be destroyed under us; run without the lock
      // so that a synchronous paint may read the frame.
      lock.unlock();
      action(widget);
    } else {
      QPointer<TVideoSurfaceWidget> target(widget);
      QMetaObject::invokeMethod(
          widget, [target, action] { if (target) action(target.data()); }, Qt::QueuedConnection);
    }
  }

  // Lock order: DirectMutex_, then Mutex_ (a window's own lock after either).
  std::mutex DirectMutex_;  // guards Direct_; held by the streaming thread while it writes a frame into it
  video::TX11ShmWindow* Direct_ = nullptr;
  mutable std::mutex Mutex_;  // guards Widget_, Notifier_, Frame_, Presented_, LastDirect_ and Shown_
  bool LastDirect_ = false;
  video::TX11ShmWindow* Shown_ = nullptr;
  TVideoSurfaceWidget* Widget_;
  TFrameNotifier* Notifier_;
  QThread* Thread_;
  std::shared_ptr<const video::TRgbImage> Frame_;
  quint64 Presented_ = 0;
  std::atomic<int> Width_{0};
  std::atomic<int> Height_{0};
  std::atomic<uint32_t> Background_{0};
};

TVideoSurfaceWidget::TVideoSurfaceWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  // Mouse input belongs to the video panel beneath (the main window's handlers), as a
  // renderer window's messages go to its message drain.
  setAttribute(Qt::WA_TransparentForMouseEvents);
  auto* notifier = new TFrameNotifier(this);
  connect(notifier, &TFrameNotifier::notified, this, [this] {
    update();
    emit framePresented();
  });
  State_ = std::make_shared<TSurfaceState>(this, notifier);
  State_->SetSize(width(), height());
  Handle_ = video::RegisterSurface(State_);
}

TVideoSurfaceWidget::~TVideoSurfaceWidget() {
  video::UnregisterSurface(Handle_);
  State_->Detach();
  delete Direct_;  // after the state let go of its window
  Direct_ = nullptr;
}

bool TVideoSurfaceWidget::DirectOutput() const { return Direct_ && Direct_->Active(); }

void TVideoSurfaceWidget::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!DirectTried_) {
    DirectTried_ = true;
    Direct_ = TDirectWindowHost::Create(this, [this](video::TX11ShmWindow* window) {
      State_->SetDirect(window, Direct_ ? Direct_->Window() : window);
      if (!window) update();  // Qt paints the frame again, with what lies over it
    });
  }
  // At once, not at the next turn of the event loop: a renderer shows the widget when its
  // graph starts and draws the first picture while the graph start still holds this thread.
  if (Direct_) Direct_->UpdateNow();
}

std::shared_ptr<video::IVideoSurface> TVideoSurfaceWidget::Surface() const { return State_; }

std::shared_ptr<const video::TRgbImage> TVideoSurfaceWidget::CurrentFrame() const { return State_->Frame(); }

quint64 TVideoSurfaceWidget::PresentedFrames() const { return State_->Presented(); }

void TVideoSurfaceWidget::paintEvent(QPaintEvent*) {
  // Under the native window nothing of this widget is seen: painting there would only fill
  // the window's backing store (window size x 4 bytes of shared memory) with pixels nobody
  // shows. Otherwise Qt paints it only when asked (an expose, a grab), never per frame.
  if (DirectOutput() && !paintUnderDirect_) return;
  QPainter painter(this);
  QColor background = QColor::fromRgb(State_->Background());
  bool drawn = false;
  State_->ReadFrame([&](const video::TFrameTarget& frame) {
    QImage image(frame.Pixels, frame.Width, frame.Height, frame.Stride, QImage::Format_RGB32);
    // The renderer scaled to our size; during a resize the frame may still have the old
    // size, so it is drawn at its own size and the rest is background.
    painter.drawImage(QPoint(0, 0), image);
    if (frame.Width < width()) painter.fillRect(frame.Width, 0, width() - frame.Width, height(), background);
    if (frame.Height < height()) painter.fillRect(0, frame.Height, frame.Width, height() - frame.Height, background);
    drawn = true;
  });
  if (!drawn) painter.fillRect(rect(), background);
}

void TVideoSurfaceWidget::resizeEvent(QResizeEvent* event) {
  State_->SetSize(event->size().width(), event->size().height());
  QWidget::resizeEvent(event);
}

}  // namespace kv::qtsurface
