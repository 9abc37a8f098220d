// Reference clocks: TBaseReferenceClock, and TSystemClock, the graph's default clock.
//
// A clock counts 100-nanosecond units and never goes backwards. Advises (AdviseTime,
// AdvisePeriodic) are served by one worker thread per clock that waits on a condition
// variable until the earliest one is due and calls it without the clock lock held. A
// renderer that provides a clock (the audio renderer: its time is what the sound card has
// played) derives from TBaseReferenceClock, implements GetPrivateTime and calls
// TimeChanged when its time jumps so that waiting advises are looked at again.
#pragma once

#include <condition_variable>
#include <map>
#include <thread>

#include "platform/graph/filter.h"

namespace kv {

class TBaseReferenceClock : public TUnknown, public IReferenceClock {
 public:
  TBaseReferenceClock();
  ~TBaseReferenceClock() override;  // stops the worker; pending advises never fire
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  // Must implement: the clock's own time, monotonic enough; any thread, cheap.
  virtual REFERENCE_TIME GetPrivateTime() = 0;

  HRESULT GetTime(REFERENCE_TIME* time) override;
  HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, Callback fire, uintptr_t* cookie) override;
  HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME period, Callback fire, uintptr_t* cookie) override;
  HRESULT Unadvise(uintptr_t cookie) override;

 protected:
  // Wakes the worker to look at the advises again (time jumped, clock restarted).
  void TimeChanged();
  // Stops the worker; derived destructors whose GetPrivateTime uses their own members
  // call this first.
  void Shutdown();

 private:
  struct Advise {
    REFERENCE_TIME due;
    REFERENCE_TIME period;  // 0: one-shot
    Callback fire;
  };
  void WorkerMain();
  REFERENCE_TIME NowLocked();

  std::mutex mutex_;              // guards advises_, nextCookie_, last_, firing_, quit_, worker_ start
  std::condition_variable wake_;  // advise added or removed, time changed, quit
  std::condition_variable fired_; // a callback finished (Unadvise waits for it)
  std::map<uintptr_t, Advise> advises_;
  uintptr_t nextCookie_ = 1;
  uintptr_t firing_ = 0;          // cookie whose callback runs now
  REFERENCE_TIME last_ = 0;       // last time handed out (monotonic guard)
  bool quit_ = false;
  std::thread worker_;            // started with the first advise, joined by Shutdown
};

// The system clock: the monotonic time of the machine.
class TSystemClock : public TBaseReferenceClock {
 public:
  ~TSystemClock() override { Shutdown(); }
  REFERENCE_TIME GetPrivateTime() override;
};

ComPtr<IReferenceClock> CreateSystemClock();

}  // namespace kv
