#include "qtsurface/video_surface_widget.h"

#include <QImage>
#include <QMetaObject>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QThread>
#include <atomic>
#include <mutex>

#include "qtsurface/frame_notifier.h"

namespace kv::qtsurface {

// The renderer's view of the widget. Lives as long as anyone holds it.
class TSurfaceState final : public video::IVideoSurface {
 public:
  TSurfaceState(TVideoSurfaceWidget* widget, TFrameNotifier* notifier)
      : Widget_(widget), Notifier_(notifier), Thread_(widget->thread()) {}

  void Detach() {
    std::lock_guard<std::mutex> lock(Mutex_);
    Widget_ = nullptr;
    Notifier_ = nullptr;
  }

  void Present(std::shared_ptr<const video::TRgbImage> frame) override {
    std::lock_guard<std::mutex> lock(Mutex_);
    Frame_ = std::move(frame);
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
    std::lock_guard<std::mutex> lock(Mutex_);
    return Frame_;
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

  mutable std::mutex Mutex_;  // guards Widget_, Notifier_, Frame_ and Presented_
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
}

std::shared_ptr<video::IVideoSurface> TVideoSurfaceWidget::Surface() const { return State_; }

std::shared_ptr<const video::TRgbImage> TVideoSurfaceWidget::CurrentFrame() const { return State_->Frame(); }

quint64 TVideoSurfaceWidget::PresentedFrames() const { return State_->Presented(); }

void TVideoSurfaceWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QColor background = QColor::fromRgb(State_->Background());
  std::shared_ptr<const video::TRgbImage> frame = State_->Frame();
  if (!frame || frame->Empty()) {
    painter.fillRect(rect(), background);
    return;
  }
  QImage image(frame->Pixels.data(), frame->Width, frame->Height, frame->Stride, QImage::Format_RGB32);
  // The renderer scaled to our size; during a resize the frame may still have the old
  // size, so it is drawn at its own size and the rest is background.
  painter.drawImage(QPoint(0, 0), image);
  if (frame->Width < width()) painter.fillRect(frame->Width, 0, width() - frame->Width, height(), background);
  if (frame->Height < height()) painter.fillRect(0, frame->Height, frame->Width, height() - frame->Height, background);
}

void TVideoSurfaceWidget::resizeEvent(QResizeEvent* event) {
  State_->SetSize(event->size().width(), event->size().height());
  QWidget::resizeEvent(event);
}

}  // namespace kv::qtsurface
