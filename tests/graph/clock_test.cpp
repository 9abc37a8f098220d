// Reference clocks: the base clock's advise worker, as the system clock and the audio
// renderer's clock use it. A manual clock drives the time, so nothing waits for real time.
#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "platform/graph/reference_clock.h"

namespace kv {
namespace {

class TManualClock : public TBaseReferenceClock {
 public:
  ~TManualClock() override { Shutdown(); }
  REFERENCE_TIME GetPrivateTime() override { return now.load(); }
  void Set(REFERENCE_TIME t) {
    now.store(t);
    TimeChanged();
  }
  std::atomic<REFERENCE_TIME> now{0};
};

TEST(ReferenceClock, AdviseTime_firesOnceTheClockReachesBasePlusStream) {
  ComPtr<TManualClock> clock(new TManualClock);
  std::promise<void> fired;
  uintptr_t cookie = 0;
  ASSERT_EQ(clock->AdviseTime(1000, 500, [&] { fired.set_value(); }, &cookie), S_OK);
  EXPECT_NE(cookie, 0u);
  clock->Set(1500);
  fired.get_future().wait();  // a hang here is the failure (ctest time-out)
}

TEST(ReferenceClock, Unadvise_beforeTheTime_meansTheCallbackNeverRuns) {
  ComPtr<TManualClock> clock(new TManualClock);
  std::atomic<int> calls{0};
  uintptr_t cookie = 0;
  clock->AdviseTime(0, 100, [&] { calls.fetch_add(1); }, &cookie);
  EXPECT_EQ(clock->Unadvise(cookie), S_OK);
  EXPECT_EQ(clock->Unadvise(cookie), S_FALSE);
  // A later advise fires; the cancelled one, due earlier, must not have.
  std::promise<void> later;
  uintptr_t second = 0;
  clock->AdviseTime(0, 200, [&] { later.set_value(); }, &second);
  clock->Set(300);
  later.get_future().wait();
  EXPECT_EQ(calls.load(), 0);
}

TEST(ReferenceClock, AdvisePeriodic_firesAgainEachPeriod) {
  ComPtr<TManualClock> clock(new TManualClock);
  std::mutex m;
  std::condition_variable cv;
  int calls = 0;
  uintptr_t cookie = 0;
  ASSERT_EQ(clock->AdvisePeriodic(100, 100, [&] {
    std::lock_guard lock(m);
    ++calls;
    cv.notify_all();
  }, &cookie), S_OK);
  for (REFERENCE_TIME t = 100; t <= 300; t += 100) {
    clock->Set(t);
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return calls >= t / 100; });
  }
  clock->Unadvise(cookie);
  std::lock_guard lock(m);
  EXPECT_EQ(calls, 3);
}

TEST(ReferenceClock, GetTime_neverGoesBackwards) {
  ComPtr<TManualClock> clock(new TManualClock);
  clock->Set(5000);
  REFERENCE_TIME t = 0;
  clock->GetTime(&t);
  EXPECT_EQ(t, 5000);
  clock->Set(4000);  // the device clock jumped back
  clock->GetTime(&t);
  EXPECT_EQ(t, 5000);
}

TEST(ReferenceClock, BadArguments_areRefused) {
  ComPtr<TManualClock> clock(new TManualClock);
  uintptr_t cookie;
  EXPECT_EQ(clock->AdviseTime(0, 1, nullptr, &cookie), E_POINTER);
  EXPECT_EQ(clock->AdvisePeriodic(0, 0, [] {}, &cookie), E_INVALIDARG);
  EXPECT_EQ(clock->AdviseTime(-10, 1, [] {}, &cookie), E_INVALIDARG);
  EXPECT_EQ(clock->GetTime(nullptr), E_POINTER);
}

TEST(SystemClock, AnAdviseForNow_fires) {
  auto clock = CreateSystemClock();
  REFERENCE_TIME now = 0;
  clock->GetTime(&now);
  std::promise<void> fired;
  uintptr_t cookie = 0;
  ASSERT_EQ(clock->AdviseTime(now, 0, [&] { fired.set_value(); }, &cookie), S_OK);
  fired.get_future().wait();
}

}  // namespace
}  // namespace kv
