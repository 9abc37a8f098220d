// The pooled allocator: fixed pool, blocking GetBuffer, decommit unblocks, samples return.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "platform/graph/media_sample.h"

namespace kv {
namespace {

ComPtr<IMemAllocator> MakeAllocator(int buffers, int bytes) {
  auto a = CreateMemAllocator();
  ALLOCATOR_PROPERTIES want{buffers, bytes, 1, 0}, got;
  EXPECT_EQ(a->SetProperties(&want, &got), S_OK);
  EXPECT_EQ(got.cBuffers, buffers);
  return a;
}

TEST(Allocator, GetBuffer_failsUntilCommitted_andAfterDecommit) {
  auto a = MakeAllocator(2, 16);
  ComPtr<IMediaSample> s;
  EXPECT_EQ(a->GetBuffer(s.Put(), nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
  ASSERT_EQ(a->Commit(), S_OK);
  EXPECT_EQ(a->GetBuffer(s.Put(), nullptr, nullptr, 0), S_OK);
  EXPECT_EQ(s->GetSize(), 16);
  a->Decommit();
  ComPtr<IMediaSample> t;
  EXPECT_EQ(a->GetBuffer(t.Put(), nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
}

TEST(Allocator, ReleasedSamples_returnToThePool_withPropertiesCleared) {
  auto a = MakeAllocator(1, 16);
  a->Commit();
  uint8_t* first = nullptr;
  {
    ComPtr<IMediaSample> s;
    ASSERT_EQ(a->GetBuffer(s.Put(), nullptr, nullptr, 0), S_OK);
    s->GetPointer(&first);
    REFERENCE_TIME t0 = 5, t1 = 9;
    s->SetTime(&t0, &t1);
    s->SetSyncPoint(true);
    s->SetActualDataLength(10);
    EXPECT_EQ(s->SetActualDataLength(17), VFW_E_BUFFER_OVERFLOW);
    ComPtr<IMediaSample> none;
    EXPECT_EQ(a->GetBuffer(none.Put(), nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
  }
  ComPtr<IMediaSample> again;
  ASSERT_EQ(a->GetBuffer(again.Put(), nullptr, nullptr, 0), S_OK);
  uint8_t* second = nullptr;
  again->GetPointer(&second);
  EXPECT_EQ(first, second);  // the same buffer, nothing allocated
  REFERENCE_TIME t0, t1;
  EXPECT_EQ(again->GetTime(&t0, &t1), VFW_E_SAMPLE_TIME_NOT_SET);
  EXPECT_EQ(again->IsSyncPoint(), S_FALSE);
  EXPECT_EQ(again->GetActualDataLength(), 0);
}

// A picture standing in for a decoder's frame: 16 bytes of a known pattern that count how
// often they were written out.
class TCountingPicture final : public IPicture {
 public:
  const TPicturePlanes& Planes() const override { return planes_; }
  bool WriteTo(uint8_t* buffer, int32_t capacity) const override {
    if (capacity < 16) return false;
    for (int i = 0; i < 16; ++i) buffer[i] = static_cast<uint8_t>(0xA0 + i);
    ++writes;
    return true;
  }
  mutable int writes = 0;

 private:
  TPicturePlanes planes_;
};

TEST(Allocator, CarriedPicture_isWrittenOnceWhenBytesAreAsked_andNeverPinnedByThePool) {
  auto a = MakeAllocator(1, 16);
  ASSERT_EQ(a->Commit(), S_OK);
  auto picture = std::make_shared<TCountingPicture>();
  std::weak_ptr<TCountingPicture> alive = picture;
  {
    ComPtr<IMediaSample> s;
    ASSERT_EQ(a->GetBuffer(s.Put(), nullptr, nullptr, 0), S_OK);
    ComPtr<IPictureSample> carrier;
    ASSERT_EQ(s.As(&carrier), S_OK);
    s->SetActualDataLength(16);
    carrier->AttachPicture(picture);
    EXPECT_EQ(carrier->GetPicture().get(), picture.get());
    // A reader of bytes gets the picture written into the buffer, once; the sample is an
    // ordinary one afterwards (an in-place change of the bytes is what later readers see).
    uint8_t* data = nullptr;
    ASSERT_EQ(s->GetPointer(&data), S_OK);
    EXPECT_EQ(data[0], 0xA0);
    EXPECT_EQ(data[15], 0xAF);
    data[0] = 1;
    ASSERT_EQ(s->GetPointer(&data), S_OK);
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(picture->writes, 1);
    EXPECT_EQ(carrier->GetPicture(), nullptr);
    // Attached again and released unread: back in the pool, the sample lets go of it.
    carrier->AttachPicture(picture);
  }
  picture.reset();
  EXPECT_TRUE(alive.expired());
  ComPtr<IMediaSample> again;
  ASSERT_EQ(a->GetBuffer(again.Put(), nullptr, nullptr, 0), S_OK);
  EXPECT_EQ(AttachedPicture(again.Get()), nullptr);
}

TEST(Allocator, Decommit_wakesAWaitingGetBuffer) {
  auto a = MakeAllocator(1, 8);
  a->Commit();
  ComPtr<IMediaSample> held;
  ASSERT_EQ(a->GetBuffer(held.Put(), nullptr, nullptr, 0), S_OK);
  auto waiter = std::async(std::launch::async, [&] {
    ComPtr<IMediaSample> s;
    return a->GetBuffer(s.Put(), nullptr, nullptr, 0);
  });
  a->Decommit();
  EXPECT_EQ(waiter.get(), VFW_E_NOT_COMMITTED);
}

TEST(Allocator, AWaitingGetBuffer_getsTheSampleReleasedOnAnotherThread) {
  auto a = MakeAllocator(1, 8);
  a->Commit();
  ComPtr<IMediaSample> held;
  ASSERT_EQ(a->GetBuffer(held.Put(), nullptr, nullptr, 0), S_OK);
  auto waiter = std::async(std::launch::async, [&] {
    ComPtr<IMediaSample> s;
    return a->GetBuffer(s.Put(), nullptr, nullptr, 0);
  });
  held.Reset();
  EXPECT_EQ(waiter.get(), S_OK);
}

TEST(Allocator, SetProperties_isRefusedWhileCommittedOrWithBadCounts) {
  auto a = MakeAllocator(2, 8);
  ALLOCATOR_PROPERTIES bad{0, 8, 1, 0}, got;
  EXPECT_EQ(a->SetProperties(&bad, &got), E_INVALIDARG);
  a->Commit();
  ALLOCATOR_PROPERTIES want{3, 8, 1, 0};
  EXPECT_EQ(a->SetProperties(&want, &got), VFW_E_ALREADY_COMMITTED);
}

TEST(Allocator, SamplesOutstanding_keepTheAllocatorAlive) {
  ComPtr<IMediaSample> s;
  {
    auto a = MakeAllocator(1, 8);
    a->Commit();
    ASSERT_EQ(a->GetBuffer(s.Put(), nullptr, nullptr, 0), S_OK);
  }
  uint8_t* p = nullptr;
  s->GetPointer(&p);
  p[7] = 1;  // still valid memory (ASan would catch a freed pool)
  s.Reset();
}

}  // namespace
}  // namespace kv
