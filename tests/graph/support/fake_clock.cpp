#include "fake_clock.h"

namespace kv::testing {

HRESULT TFakeClock::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IReferenceClock::kIid) return GetInterface(static_cast<IReferenceClock*>(this), out);
  return TUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT TFakeClock::GetTime(REFERENCE_TIME* time) {
  std::lock_guard lock(mutex_);
  *time = now_;
  return S_OK;
}

HRESULT TFakeClock::AdviseTime(REFERENCE_TIME base, REFERENCE_TIME stream, Callback fire, uintptr_t* cookie) {
  std::lock_guard lock(mutex_);
  *cookie = nextCookie_++;
  advises_[*cookie] = Advise{base + stream, 0, std::move(fire)};
  changed_.notify_all();
  return S_OK;
}

HRESULT TFakeClock::AdvisePeriodic(REFERENCE_TIME start, REFERENCE_TIME period, Callback fire, uintptr_t* cookie) {
  std::lock_guard lock(mutex_);
  *cookie = nextCookie_++;
  advises_[*cookie] = Advise{start, period, std::move(fire)};
  changed_.notify_all();
  return S_OK;
}

HRESULT TFakeClock::Unadvise(uintptr_t cookie) {
  std::unique_lock lock(mutex_);
  bool found = advises_.erase(cookie) > 0;
  if (firing_ == cookie && firingThread_ != std::this_thread::get_id())
    changed_.wait(lock, [&] { return firing_ != cookie; });
  changed_.notify_all();
  return found ? S_OK : S_FALSE;
}

void TFakeClock::SetTime(REFERENCE_TIME t) {
  std::unique_lock lock(mutex_);
  now_ = t;
  for (;;) {
    auto next = advises_.end();
    for (auto it = advises_.begin(); it != advises_.end(); ++it)
      if (it->second.due <= now_ && (next == advises_.end() || it->second.due < next->second.due)) next = it;
    if (next == advises_.end()) break;
    uintptr_t cookie = next->first;
    Callback fire = next->second.fire;
    if (next->second.period > 0)
      next->second.due += next->second.period;
    else
      advises_.erase(next);
    firing_ = cookie;
    firingThread_ = std::this_thread::get_id();
    lock.unlock();
    fire();
    lock.lock();
    firing_ = 0;
    changed_.notify_all();
  }
}

void TFakeClock::Advance(REFERENCE_TIME dt) {
  REFERENCE_TIME t;
  {
    std::lock_guard lock(mutex_);
    t = now_ + dt;
  }
  SetTime(t);
}

size_t TFakeClock::PendingAdvises() {
  std::lock_guard lock(mutex_);
  return advises_.size();
}

void TFakeClock::WaitForAdvises(size_t n) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return advises_.size() >= n; });
}

}  // namespace kv::testing
