#include "qtsurface/frame_notifier.h"

#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace kv::qtsurface {

TFrameNotifier::TFrameNotifier(QObject* parent) : QObject(parent) {
  Fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (Fd_ < 0) return;
  Reader_ = new QSocketNotifier(Fd_, QSocketNotifier::Read, this);
  connect(Reader_, &QSocketNotifier::activated, this, &TFrameNotifier::OnReadable);
}

TFrameNotifier::~TFrameNotifier() {
  delete Reader_;
  if (Fd_ >= 0) ::close(Fd_);
}

void TFrameNotifier::Notify() {
  if (Fd_ < 0 || Pending_.exchange(true)) return;
  const uint64_t one = 1;
  ssize_t written = ::write(Fd_, &one, sizeof one);
  (void)written;  // a full counter (never: at most one is outstanding) still wakes the reader
}

void TFrameNotifier::OnReadable() {
  uint64_t count = 0;
  ssize_t read = ::read(Fd_, &count, sizeof count);
  (void)read;
  // Cleared before the paint reads the frame: a frame stored from now on writes again.
  Pending_.store(false);
  emit notified();
}

}  // namespace kv::qtsurface
