// TFrameNotifier: wakes a widget's thread when a streaming thread has stored a new frame.
//
// Nothing crosses the threads but one counter in the kernel: Notify() (any thread) writes
// to an eventfd, at most once until the widget's thread has looked, and a QSocketNotifier
// made on the widget's thread reads it there and emits notified(). No Qt object, event or
// functor is created on the streaming thread or deleted on another one, so the hand-over
// of frames has one owner thread (the frame itself is stored under the surface's mutex).
// Wakes are coalesced: one notified() may stand for several frames; the widget paints the
// newest.
// Ownership: a child of the widget; the surface state that calls Notify() stops calling it
// (under its mutex) before the widget and its children go.
#pragma once

#include <QObject>

#include <atomic>

class QSocketNotifier;

namespace kv::qtsurface {

class TFrameNotifier : public QObject {
  Q_OBJECT
 public:
  explicit TFrameNotifier(QObject* parent);  // on the widget's thread
  ~TFrameNotifier() override;

  // A new frame is there. Any thread; never blocks.
  void Notify();

 signals:
  // On the widget's thread, once for one or more Notify() calls.
  void notified();

 private:
  void OnReadable();

  int Fd_ = -1;
  QSocketNotifier* Reader_ = nullptr;
  std::atomic<bool> Pending_{false};  // a wake is written and not yet read
};

}  // namespace kv::qtsurface
