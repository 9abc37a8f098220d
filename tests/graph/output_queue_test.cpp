// A transform that delivers through its own output thread (TOutputQueue), two in a row as
// in a chain of effects: seeks while streaming never let a sample from before the seek
// through, a paused seek prerolls the new position, and Stop never hangs on a thread that
// a paused renderer or a full queue holds. Run under ThreadSanitizer too (label tsan).
#include <random>

#include "graph_fixture.h"
#include "platform/graph/output_queue.h"

namespace kv::testing {
namespace {

class TQueuedTransform final : public TTestTransform {
 public:
  TQueuedTransform() : TTestTransform(TTransformMode::Copy, MEDIASUBTYPE_YUY2, MEDIASUBTYPE_YUY2) {}
  ~TQueuedTransform() override { queue_.Stop(); }

  HRESULT ReceiveSample(IMediaSample* in) override {
    ComPtr<IMediaSample> out;
    if (FAILED(OutputPin()->GetDeliveryBuffer(out.Put(), nullptr, nullptr, 0))) return S_FALSE;
    REFERENCE_TIME start = 0, stop = 0;
    if (in->GetTime(&start, &stop) == S_OK) out->SetTime(&start, &stop);
    Transform(in, out.Get());
    HRESULT hr = queue_.Receive(out.Get());
    return FAILED(hr) ? hr : S_OK;
  }
  HRESULT EndOfStream() override { return queue_.EndOfStream(); }
  HRESULT BeginFlush() override {
    queue_.BeginFlush();
    return S_OK;
  }
  HRESULT EndFlush() override {
    queue_.EndFlush();
    return S_OK;
  }
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override {
    return queue_.NewSegment(start, stop, rate);
  }
  HRESULT Pause() override {
    if (state() == State_Stopped) queue_.Start();
    return TTestTransform::Pause();
  }
  HRESULT Stop() override {
    queue_.Stop();
    return TTestTransform::Stop();
  }

 private:
  TOutputQueue queue_{OutputPin(), 3};
};

class OutputQueueTest : public GraphTest {
 protected:
  // generator -> queued -> queued -> renderer
  ComPtr<TCountingRenderer> Build(REFERENCE_TIME duration) {
    gen = new TGeneratorSource({TestVideoType(MEDIASUBTYPE_YUY2)}, duration, kFrame);
    graph->AddFilter(gen.Get(), "Source");
    ComPtr<IPin> out = PinOf(gen.Get(), PINDIR_OUTPUT, 0);
    for (const char* name : {"First", "Second"}) {
      ComPtr<TQueuedTransform> t(new TQueuedTransform);
      EXPECT_EQ(graph->AddFilter(t.Get(), name), S_OK);
      EXPECT_EQ(graph->ConnectDirect(out.Get(), PinOf(t.Get(), PINDIR_INPUT, 0).Get(), nullptr), S_OK);
      out = PinOf(t.Get(), PINDIR_OUTPUT, 0);
    }
    ComPtr<TCountingRenderer> r(new TCountingRenderer());
    graph->AddFilter(r.Get(), "Renderer");
    EXPECT_EQ(graph->ConnectDirect(out.Get(), PinOf(r.Get(), PINDIR_INPUT, 0).Get(), nullptr), S_OK);
    return r;
  }
};

TEST_F(OutputQueueTest, SeeksWhileStreaming_letNothingOldThrough_andStopEndsTheThreads) {
  auto r = Build(1000000 * kSecond);
  mediaFilter->SetSyncSource(nullptr);
  control->Run();
  std::mt19937 random(11);
  std::vector<REFERENCE_TIME> targets;
  for (int i = 0; i < 20; ++i) {
    r->WaitForCount(r->Count() + 5);
    int64_t target = static_cast<int64_t>(random() % 3000) * kSecond;
    targets.push_back(target);
    ASSERT_EQ(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
  }
  r->WaitForCount(r->Count() + 5);
  control->Stop();
  int segment = -1;
  REFERENCE_TIME expected = 0;
  for (auto& s : r->RenderedSamples()) {
    if (s.segment != segment) {
      segment = s.segment;
      expected = s.segmentStart;
      ASSERT_TRUE(s.segmentStart == 0 || std::count(targets.begin(), targets.end(), s.segmentStart));
    }
    ASSERT_EQ(s.position, expected) << "segment " << s.segment;  // in order, none missing, none stale
    expected += kFrame;
  }
  EXPECT_GE(r->Flushes(), 20);
}

TEST_F(OutputQueueTest, Paused_withQueuesFull_seekPrerollsTheTarget_stopReturns_endOfStreamArrivesLast) {
  auto r = Build(4 * kSecond);
  control->Pause();
  OAFilterState st;
  ASSERT_EQ(control->GetState(-1, &st), S_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let every queue fill up behind the renderer
  int64_t target = 2 * kSecond;
  ASSERT_EQ(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
  ASSERT_EQ(control->GetState(-1, &st), S_OK);
  EXPECT_EQ(st, State_Paused);
  EXPECT_EQ(r->Prerolls(), 2);
  EXPECT_EQ(r->LastSegmentStart(), 2 * kSecond);
  control->Stop();  // the threads are held by the paused renderer and full queues: must return
  control->Pause();
  mediaFilter->SetSyncSource(nullptr);
  control->Run();
  int32_t code = 0;
  ASSERT_EQ(events->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  auto samples = r->RenderedSamples();
  ASSERT_FALSE(samples.empty());
  EXPECT_EQ(samples.back().position, 4 * kSecond - kFrame) << "the last sample arrives before the end of stream";
}

}  // namespace
}  // namespace kv::testing
