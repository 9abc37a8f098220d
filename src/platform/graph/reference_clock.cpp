#include "platform/graph/reference_clock.h"

#include <chrono>

namespace kv {

TBaseReferenceClock::TBaseReferenceClock() = default;

TBaseReferenceClock::~TBaseReferenceClock() { Shutdown(); }

HRESULT TBaseReferenceClock::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IReferenceClock::kIid) return GetInterface(static_cast<IReferenceClock*>(this), out);
  return TUnknown::NonDelegatingQueryInterface(iid, out);
}

void TBaseReferenceClock::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    wake_.notify_all();
  }
  if (worker_.joinable()) worker_.join();
}

REFERENCE_TIME TBaseReferenceClock::NowLocked() {
  REFERENCE_TIME t = GetPrivateTime();
  if (t < last_) t = last_;  // never backwards
  last_ = t;
  return t;
}

HRESULT TBaseReferenceClock::GetTime(REFERENCE_TIME* time) {
  if (!time) return E_POINTER;
  std::lock_guard lock(mutex_);
  *time = NowLocked();
  return S_OK;
}

HRESULT TBaseReferenceClock::AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, Callback fire,
                                        uintptr_t* cookie) {
  if (!cookie || !fire) return E_POINTER;
  if (baseTime + streamTime < 0) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  if (quit_) return E_UNEXPECTED;
  *cookie = nextCookie_++;
  advises_[*cookie] = Advise{baseTime + streamTime, 0, std::move(fire)};
  if (!worker_.joinable()) worker_ = std::thread([this] { WorkerMain(); });
  wake_.notify_all();
  return S_OK;
}

HRESULT TBaseReferenceClock::AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME period, Callback fire,
                                            uintptr_t* cookie) {
  if (!cookie || !fire) return E_POINTER;
  if (period <= 0 || startTime < 0) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  if (quit_) return E_UNEXPECTED;
  *cookie = nextCookie_++;
  advises_[*cookie] = Advise{startTime, period, std::move(fire)};
  if (!worker_.joinable()) worker_ = std::thread([this] { WorkerMain(); });
  wake_.notify_all();
  return S_OK;
}

HRESULT TBaseReferenceClock::Unadvise(uintptr_t cookie) {
  std::unique_lock lock(mutex_);
  bool found = advises_.erase(cookie) > 0;
  // Unless called from the callback itself, wait until it is no longer running.
  if (firing_ == cookie && worker_.get_id() != std::this_thread::get_id())
    fired_.wait(lock, [&] { return firing_ != cookie; });
  wake_.notify_all();
  return found ? S_OK : S_FALSE;
}

void TBaseReferenceClock::TimeChanged() {
  std::lock_guard lock(mutex_);
  wake_.notify_all();
}

void TBaseReferenceClock::WorkerMain() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    if (advises_.empty()) {
      wake_.wait(lock);
      continue;
    }
    REFERENCE_TIME now = NowLocked();
    auto next = advises_.begin();
    for (auto it = advises_.begin(); it != advises_.end(); ++it)
      if (it->second.due < next->second.due) next = it;
    if (next->second.due > now) {
      // Wait the remaining time on the machine's clock, then look again (the clock may
      // run at another speed than the machine's, so this is a bound, not a promise).
      auto wait = std::chrono::microseconds((next->second.due - now + 9) / 10);
      wake_.wait_for(lock, wait);
      continue;
    }
    uintptr_t cookie = next->first;
    Callback fire = next->second.fire;
    if (next->second.period > 0) {
      next->second.due += next->second.period;
      if (next->second.due <= now) next->second.due = now + next->second.period;  // skip missed ticks
    } else {
      advises_.erase(next);
    }
    firing_ = cookie;
    lock.unlock();
    fire();
    lock.lock();
    firing_ = 0;
    fired_.notify_all();
  }
}

REFERENCE_TIME TSystemClock::GetPrivateTime() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count() / 100;
}

ComPtr<IReferenceClock> CreateSystemClock() { return ComPtr<IReferenceClock>(new TSystemClock); }

}  // namespace kv
