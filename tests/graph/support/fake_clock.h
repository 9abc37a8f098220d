// TFakeClock: a reference clock that only moves when a test moves it.
//
// Advise callbacks fire on the thread that calls Advance/SetTime, in due order, without
// the clock's lock held. Unadvise waits for a callback that is running on another thread.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/graph/filter.h"

namespace kv::testing {

class TFakeClock : public TUnknown, public IReferenceClock {
 public:
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  HRESULT GetTime(REFERENCE_TIME* time) override;
  HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, Callback fire, uintptr_t* cookie) override;
  HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME period, Callback fire, uintptr_t* cookie) override;
  HRESULT Unadvise(uintptr_t cookie) override;

  void SetTime(REFERENCE_TIME t);
  void Advance(REFERENCE_TIME dt);
  size_t PendingAdvises();
  // Blocks until at least n advises are pending (a renderer is waiting on this clock).
  void WaitForAdvises(size_t n);

 private:
  struct Advise {
    REFERENCE_TIME due, period;
    Callback fire;
  };
  std::mutex mutex_;  // guards now_, advises_, nextCookie_, firing_
  std::condition_variable changed_;
  REFERENCE_TIME now_ = 0;
  std::map<uintptr_t, Advise> advises_;
  uintptr_t nextCookie_ = 1;
  uintptr_t firing_ = 0;
  std::thread::id firingThread_;
};

}  // namespace kv::testing
