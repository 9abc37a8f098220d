// A TSourceStream in queue mode, fed by a producer thread as a demultiplexer feeds it:
// order, end of stream, bounded queue, and producers released by Stop; and the same with
// direct delivery on the producer's thread.
#include <cstring>
#include <future>

#include "graph_fixture.h"

namespace kv::testing {
namespace {

class TQueuedSource : public TBaseFilter {
 public:
  class Pin : public TSourceStream {
   public:
    explicit Pin(TQueuedSource* f) : TSourceStream(f, "Out", TStreamMode::Queue) {}
    HRESULT CheckMediaType(const MediaType& mt) override { return mt.majortype == MEDIATYPE_Video ? S_OK : S_FALSE; }
    HRESULT GetMediaType(int position, MediaType* mt) override {
      if (position != 0) return VFW_S_NO_MORE_ITEMS;
      *mt = TestVideoType(MEDIASUBTYPE_YUY2);
      return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES*) override {
      ALLOCATOR_PROPERTIES want{16, 64, 1, 0}, got;
      return allocator->SetProperties(&want, &got);
    }
    // Producer side: one sample carrying its position; the result of QueueSample.
    HRESULT Produce(int64_t position) {
      ComPtr<IMediaSample> s;
      HRESULT hr = GetDeliveryBuffer(s.Put(), nullptr, nullptr, 0);
      if (FAILED(hr)) return S_FALSE;  // decommitted: stopping
      uint8_t* p = nullptr;
      s->GetPointer(&p);
      std::memcpy(p, &position, 8);
      s->SetActualDataLength(8);
      REFERENCE_TIME t0 = position, t1 = position + kFrame;
      s->SetTime(&t0, &t1);
      return QueueSample(s.Get());
    }
  };
  TQueuedSource() : TBaseFilter(CLSID_TestGenerator), pin_(std::make_unique<Pin>(this)) {}
  int GetPinCount() override { return 1; }
  TBasePin* GetPin(int n) override { return n == 0 ? pin_.get() : nullptr; }
  Pin* OutPin() { return pin_.get(); }

 private:
  std::unique_ptr<Pin> pin_;
};

class QueueMode : public GraphTest {
 protected:
  void Build() {
    source = new TQueuedSource;
    renderer = new TCountingRenderer();
    graph->AddFilter(source.Get(), "Queued source");
    graph->AddFilter(renderer.Get(), "Renderer");
    ASSERT_EQ(graph->ConnectDirect(PinOf(source.Get(), PINDIR_OUTPUT, 0).Get(),
                                   PinOf(renderer.Get(), PINDIR_INPUT, 0).Get(), nullptr),
              S_OK);
  }
  ComPtr<TQueuedSource> source;
  ComPtr<TCountingRenderer> renderer;
};

TEST_F(QueueMode, QueuedSamples_arriveInOrder_andEndOfStreamCompletes) {
  Build();
  mediaFilter->SetSyncSource(nullptr);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  auto producer = std::async(std::launch::async, [&] {
    for (int i = 0; i < 500; ++i)
      if (source->OutPin()->Produce(i * kFrame) != S_OK) return false;
    return source->OutPin()->QueueEndOfStream() == S_OK;
  });
  EXPECT_TRUE(producer.get());
  int32_t code = 0;
  ASSERT_EQ(events->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  auto samples = renderer->RenderedSamples();
  ASSERT_EQ(samples.size(), 500u);
  for (size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(samples[i].position, static_cast<int64_t>(i) * kFrame);
}

TEST_F(QueueMode, AFullQueue_holdsTheProducer_untilStopReleasesIt) {
  Build();
  source->OutPin()->SetQueueLimits(2, 1 << 20);
  mediaFilter->SetSyncSource(nullptr);
  control->Pause();  // the renderer will hold the first sample and block the pin's thread
  std::mutex m;
  std::condition_variable cv;
  int accepted = 0;
  auto producer = std::async(std::launch::async, [&] {
    for (int i = 0; i < 100; ++i) {
      if (source->OutPin()->Produce(i * kFrame) != S_OK) break;
      std::lock_guard lock(m);
      ++accepted;
      cv.notify_all();
    }
  });
  {
    // One sample held by the paused renderer and two in the queue: then the producer waits.
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return accepted >= 3; });
    EXPECT_EQ(accepted, 3);
  }
  EXPECT_EQ(source->OutPin()->QueuedSamples(), 2u);
  control->Stop();
  producer.get();  // a hang here means Stop did not release the producer
  EXPECT_EQ(source->OutPin()->QueuedSamples(), 0u);
  EXPECT_EQ(source->OutPin()->Produce(0), S_FALSE);  // a stopped pin accepts nothing
}

TEST_F(QueueMode, FlushAndStop_dropsWhatIsQueued_andRestartAnnouncesTheNewSegment) {
  Build();
  mediaFilter->SetSyncSource(nullptr);
  control->Pause();
  auto producer = std::async(std::launch::async, [&] {
    for (int i = 0; i < 3; ++i) source->OutPin()->Produce(i * kFrame);
  });
  OAFilterState st;
  control->GetState(-1, &st);
  source->OutPin()->FlushAndStop();
  producer.get();
  source->OutPin()->RestartAfterFlush(50 * kFrame, 100 * kFrame, 1.0);
  ASSERT_EQ(source->OutPin()->Produce(50 * kFrame), S_OK);
  control->GetState(-1, &st);
  EXPECT_EQ(renderer->LastSegmentStart(), 50 * kFrame);
  EXPECT_EQ(renderer->Prerolls(), 2);
  control->Run();
  renderer->WaitForCount(1);
  EXPECT_EQ(renderer->RenderedSamples()[0].position, 50 * kFrame);
}

// Direct delivery: each sample is rendered before QueueSample returns (it went down on
// the producer's thread), in order, and end of stream completes the graph.
TEST_F(QueueMode, DirectDelivery_rendersEachSampleOnTheProducersThread) {
  Build();
  source->OutPin()->SetDirectDelivery(true);
  mediaFilter->SetSyncSource(nullptr);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  auto producer = std::async(std::launch::async, [&] {
    for (int i = 0; i < 200; ++i) {
      if (source->OutPin()->Produce(i * kFrame) != S_OK) return -1;
      if (renderer->Count() != i + 1) return i;  // not yet rendered: it was handed over
    }
    return source->OutPin()->QueueEndOfStream() == S_OK ? 200 : -2;
  });
  EXPECT_EQ(producer.get(), 200);
  int32_t code = 0;
  ASSERT_EQ(events->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  auto samples = renderer->RenderedSamples();
  ASSERT_EQ(samples.size(), 200u);
  for (size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(samples[i].position, static_cast<int64_t>(i) * kFrame);
}

// A producer held inside a delivery (the paused renderer keeps the first sample) is
// released by Stop and by a flush; after a restart the new segment goes down before the
// next sample, and a stopped pin accepts nothing.
TEST_F(QueueMode, DirectDelivery_aBlockedProducer_isReleasedByFlushAndByStop) {
  Build();
  source->OutPin()->SetDirectDelivery(true);
  mediaFilter->SetSyncSource(nullptr);
  control->Pause();
  auto blocked = std::async(std::launch::async, [&] { return source->OutPin()->Produce(0); });
  OAFilterState st;
  control->GetState(-1, &st);  // the renderer holds the sample: the producer is inside it
  EXPECT_EQ(renderer->Prerolls(), 1);
  source->OutPin()->FlushAndStop();  // a hang here: the flush did not release the producer
  blocked.get();
  EXPECT_EQ(source->OutPin()->Produce(kFrame), S_FALSE) << "flushing: nothing is delivered";
  source->OutPin()->RestartAfterFlush(50 * kFrame, 100 * kFrame, 1.0);
  EXPECT_EQ(renderer->LastSegmentStart(), 0) << "the segment waits for the producer";
  blocked = std::async(std::launch::async, [&] { return source->OutPin()->Produce(50 * kFrame); });
  control->GetState(-1, &st);
  EXPECT_EQ(renderer->LastSegmentStart(), 50 * kFrame);
  EXPECT_EQ(renderer->Prerolls(), 2);
  control->Stop();  // a hang here: stopping did not wait for or release the producer
  EXPECT_EQ(blocked.get(), S_OK);
  EXPECT_EQ(source->OutPin()->Produce(0), S_FALSE) << "a stopped pin accepts nothing";
  EXPECT_EQ(renderer->Count(), 0);
}

}  // namespace
}  // namespace kv::testing
