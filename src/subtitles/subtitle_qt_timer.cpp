#include "subtitles/subtitle_qt_timer.h"

namespace kv {

TQtSubtitleTimer::TQtSubtitleTimer(QObject* parent) : timer_(new QTimer(parent)) {
  timer_->setObjectName(QStringLiteral("SubTimer"));
  timer_->setSingleShot(true);
  // Precise: an entry's start is a deadline, and the coarse kind may fire 5 % late.
  timer_->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer_, &QTimer::timeout, timer_, [this] {
    if (OnTimer) OnTimer();
  });
}

TQtSubtitleTimer::~TQtSubtitleTimer() { delete timer_; }

}  // namespace kv
