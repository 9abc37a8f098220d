// The one-shot timer that fires when the subtitle strip has to change (`SubTimer`).
//
// The schedule only sets an interval, enables and disables it; the program backs it with a
// Qt timer on the user-interface thread (subtitle_qt_timer.h), tests with a timer on a fake
// clock that they advance by hand. A timer fires once per Enable; the handler re-arms it.
#pragma once

#include <cstdint>
#include <functional>

namespace kv {

class ISubtitleTimer {
 public:
  virtual ~ISubtitleTimer() = default;
  // The delay of the next Enable, in milliseconds (at least 1).
  virtual void SetInterval(std::int32_t ms) = 0;
  virtual std::int32_t Interval() const = 0;
  // Arms the timer: it fires `Interval` ms from now, once. Enabling an armed timer restarts it.
  virtual void Enable() = 0;
  virtual void Disable() = 0;
  virtual bool Enabled() const = 0;
  // Called on the owner's thread when the timer fires.
  std::function<void()> OnTimer;
};

}  // namespace kv
