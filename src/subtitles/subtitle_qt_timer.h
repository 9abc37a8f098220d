// The program's `SubTimer`: ISubtitleTimer on a single-shot QTimer of the user-interface
// thread. Owned by the subtitle controller.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include "subtitles/subtitle_timer.h"

namespace kv {

class TQtSubtitleTimer final : public ISubtitleTimer {
 public:
  // The QTimer is a child of `parent` (deleted with it or with this object).
  explicit TQtSubtitleTimer(QObject* parent);
  ~TQtSubtitleTimer() override;

  void SetInterval(std::int32_t ms) override {
    if (timer_) timer_->setInterval(ms);
  }
  std::int32_t Interval() const override { return timer_ ? timer_->interval() : 0; }
  void Enable() override {
    if (timer_) timer_->start();
  }
  void Disable() override {
    if (timer_) timer_->stop();
  }
  bool Enabled() const override { return timer_ && timer_->isActive(); }

  QTimer* Timer() const { return timer_; }

 private:
  QPointer<QTimer> timer_;  // null once the parent has deleted it
};

}  // namespace kv
