// Time for the on-screen display: a monotonic clock for the hide delay and the wall clock
// for the clock element. Injected so that tests drive time instead of waiting for it.
#pragma once

#include <QTime>

#include <chrono>
#include <cstdint>

namespace kv::osd {

class IOsdClock {
 public:
  virtual ~IOsdClock() = default;
  // Milliseconds on a clock that never goes back (not the time of day).
  virtual int64_t NowMs() = 0;
  // The local time of day shown by the clock element.
  virtual QTime TimeOfDay() = 0;
};

class TSystemOsdClock final : public IOsdClock {
 public:
  int64_t NowMs() override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
  QTime TimeOfDay() override { return QTime::currentTime(); }
};

}  // namespace kv::osd
