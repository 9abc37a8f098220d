// The graph notifications of a real engine, for tests that play through TCOMPlay: the
// engine's GraphNotify (called on a streaming thread) wakes the test's thread, which then
// fetches the events on its own thread as the main window does.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "engine/contrl.h"

namespace kv::test {

class TEngineEvents {
 public:
  void Attach(TCOMPlay& engine) {
    engine.GraphNotify = [this] {
      std::lock_guard lock(mutex_);
      ++notifications_;
      cv_.notify_all();
    };
  }
  // Waits for the next notification (false when none came within the limit).
  bool Wait(std::chrono::seconds limit = std::chrono::seconds(60)) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, limit, [this] { return notifications_ > 0; })) return false;
    notifications_ = 0;
    return true;
  }
  // Plays until the engine reports the end of the stream (false when the events stop
  // coming for a minute).
  bool RunToEnd(TCOMPlay& engine) {
    engine.Play();
    for (;;) {
      if (!Wait()) return false;
      if (engine.HandleGraphEvents()) return true;
    }
  }

 private:
  std::mutex mutex_;  // guards notifications_
  std::condition_variable cv_;
  int notifications_ = 0;
};

}  // namespace kv::test
