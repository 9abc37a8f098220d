#include "qtsurface/direct_window_host.h"

#include <QApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QEvent>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QWidget>
#include <cstdlib>
#include <cstring>

#include <xcb/xcb.h>

namespace kv::qtsurface {

TDirectWindowHost* TDirectWindowHost::Create(QWidget* widget, TActivate onActive) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  const char* output = std::getenv("KAVELLO_VIDEO_OUTPUT");
  if (output && std::strcmp(output, "qt") == 0) return nullptr;
  QWidget* top = widget->window();
  if (top->devicePixelRatioF() != 1.0) return nullptr;  // frames are made at the widget's size in pixels
  std::unique_ptr<video::TX11ShmWindow> window = video::TX11ShmWindow::Create(nullptr, top->winId());
  if (!window) return nullptr;
  return new TDirectWindowHost(widget, std::move(window), std::move(onActive));
}

TDirectWindowHost::TDirectWindowHost(QWidget* widget, std::unique_ptr<video::TX11ShmWindow> window,
                                     TActivate onActive)
    : QObject(widget), Widget_(widget), Window_(std::move(window)), OnActive_(std::move(onActive)) {
  Events_ = new QSocketNotifier(Window_->ConnectionFd(), QSocketNotifier::Read, this);
  connect(Events_, &QSocketNotifier::activated, this, [this] { Window_->ProcessEvents(); });
  qApp->installEventFilter(this);
  Reconsider();
}

TDirectWindowHost::~TDirectWindowHost() {
  qApp->removeEventFilter(this);
}

bool TDirectWindowHost::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::Move:
    case QEvent::Resize:
      // The renderer draws at the widget's new size at once, and the window only takes frames
      // of its own size: it follows now, not at the next turn of the event loop.
      if (watched == Widget_ && Active_) {
        UpdateNow();
        break;
      }
      [[fallthrough]];
    case QEvent::ZOrderChange:
    case QEvent::ParentChange:
    case QEvent::WindowStateChange:
      if (watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == Widget_->window()) Reconsider();
      break;
    default:
      break;
  }
  return false;
}

void TDirectWindowHost::UpdateNow() {
  Pending_ = false;
  Update();
}

void TDirectWindowHost::Reconsider() {
  if (Pending_) return;
  Pending_ = true;
  QMetaObject::invokeMethod(this, [this] { Update(); }, Qt::QueuedConnection);
}

bool TDirectWindowHost::CoveredByOthers() const {
  QWidget* top = Widget_->window();
  const QRect own(Widget_->mapTo(top, QPoint(0, 0)), Widget_->size());
  for (QWidget* other : top->findChildren<QWidget*>()) {
    // Widgets of other windows (a control panel parented to this one) are X windows of
    // their own, stacked by the server.
    if (other == Widget_ || other->window() != top || !other->isVisible()) continue;
    if (other->isAncestorOf(Widget_) || Widget_->isAncestorOf(other)) continue;
    if (QRect(other->mapTo(top, QPoint(0, 0)), other->size()).intersects(own)) return true;
  }
  return false;
}

void TDirectWindowHost::Update() {
  Pending_ = false;
  QWidget* top = Widget_->window();
  const bool want = Widget_->isVisible() && top->isVisible() && !top->isMinimized() && Widget_->width() > 0 &&
                    Widget_->height() > 0 && top->devicePixelRatioF() == 1.0 && !CoveredByOthers();
  if (want) {
    // Qt's own requests (the top-level's new size, the widget's map) may still sit in its
    // connection's buffer when no turn of the event loop has flushed them: they must reach
    // the server before our window takes its place inside that top-level, or it is clipped
    // to the old size.
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
      if (xcb_connection_t* qtConnection = x11->connection())
        std::free(xcb_get_input_focus_reply(qtConnection, xcb_get_input_focus(qtConnection), nullptr));
    const QPoint at = Widget_->mapTo(top, QPoint(0, 0));
    Window_->SetGeometry(at.x(), at.y(), Widget_->width(), Widget_->height());
    if (!Active_) {
      Window_->SetMapped(true);
      Active_ = true;
      OnActive_(Window_.get());
    }
  } else if (Active_) {
    Active_ = false;
    OnActive_(nullptr);  // frames go through Qt from now on
    Window_->SetMapped(false);
  }
}

}  // namespace kv::qtsurface
