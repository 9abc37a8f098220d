// Run from stopped: the clock starts once the renderers hold their first samples (a slow
// chain in front of them is not late from its first picture on), and a renderer that
// never prerolls delays the start by the bound at most.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "fake_clock.h"
#include "graph_fixture.h"

namespace kv::testing {
namespace {

using GraphStart = GraphTest;
using SteadyClock = std::chrono::steady_clock;

// An in-place transform whose first sample takes "long": it moves the fake clock on by
// firstDelay, and when gated it holds that sample until Open().
class TSlowFirstSample : public TTestTransform {
 public:
  TSlowFirstSample(TFakeClock* clock, REFERENCE_TIME firstDelay, bool gated)
      : TTestTransform(TTransformMode::InPlace), clock_(clock), delay_(firstDelay), open_(!gated) {}
  HRESULT TransformInPlace(IMediaSample* sample) override {
    if (first_.exchange(false)) {
      clock_->Advance(delay_);
      std::unique_lock lock(mutex_);
      opened_.wait(lock, [&] { return open_; });
    }
    return TTestTransform::TransformInPlace(sample);
  }
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    opened_.notify_all();
  }

 private:
  TFakeClock* clock_;
  REFERENCE_TIME delay_;
  std::atomic<bool> first_{true};
  std::mutex mutex_;  // guards open_
  std::condition_variable opened_;
  bool open_;
};

// generator -> slow transform -> renderer, one chain per type.
struct TChain {
  ComPtr<TSlowFirstSample> slow;
  ComPtr<TCountingRenderer> renderer;
};

TChain AddChain(IGraphBuilder* graph, TGeneratorSource* gen, int pin, TFakeClock* clock, REFERENCE_TIME delay,
                bool gated) {
  TChain c{ComPtr<TSlowFirstSample>(new TSlowFirstSample(clock, delay, gated)),
           ComPtr<TCountingRenderer>(new TCountingRenderer(GUID_NULL, /*dropsLate=*/true))};
  const std::string n = std::to_string(pin);
  EXPECT_EQ(graph->AddFilter(c.slow.Get(), "Slow " + n), S_OK);
  EXPECT_EQ(graph->AddFilter(c.renderer.Get(), "Renderer " + n), S_OK);
  EXPECT_EQ(graph->ConnectDirect(PinOf(gen, PINDIR_OUTPUT, pin).Get(), PinOf(c.slow.Get(), PINDIR_INPUT, 0).Get(),
                                 nullptr),
            S_OK);
  EXPECT_EQ(graph->ConnectDirect(PinOf(c.slow.Get(), PINDIR_OUTPUT, 0).Get(),
                                 PinOf(c.renderer.Get(), PINDIR_INPUT, 0).Get(), nullptr),
            S_OK);
  return c;
}

TEST_F(GraphStart, RunFromStopped_startsTheClockOnlyOnceTheRenderersPrerolled) {
  ComPtr<TFakeClock> clock(new TFakeClock);
  gen = new TGeneratorSource({TestVideoType(MEDIASUBTYPE_YUY2)}, 5 * kFrame, kFrame);
  graph->AddFilter(gen.Get(), "Source");
  // The chain needs a whole second of clock time for its first picture.
  TChain chain = AddChain(graph.Get(), gen.Get(), 0, clock.Get(), kSecond, false);
  ASSERT_EQ(mediaFilter->SetSyncSource(clock.Get()), S_OK);

  const auto before = SteadyClock::now();
  HRESULT hr = control->Run();
  if (SteadyClock::now() - before >= std::chrono::milliseconds(kRunPrerollTimeoutMs))
    GTEST_SKIP() << "the machine took longer than the preroll bound; the start could not wait";
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(chain.renderer->Prerolls(), 1);
  while (chain.slow->Samples() < 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  // Stream time 0 is a little after the preroll, not when Run was called.
  int64_t position = -1;
  seeking->GetCurrentPosition(&position);
  ASSERT_EQ(position, 0) << "the clock ran while the chain prerolled";
  clock->WaitForAdvises(1);
  EXPECT_EQ(chain.renderer->Count(), 0);
  clock->Advance(kRunStartLatency);
  chain.renderer->WaitForCount(1);
  // Every later picture on time: none late, none dropped.
  for (int i = 1; i < 5; ++i) {
    clock->WaitForAdvises(1);
    clock->Advance(kFrame);
    chain.renderer->WaitForCount(i + 1);
  }
  int32_t code = 0;
  ASSERT_EQ(events->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(chain.renderer->FramesDropped(), 0);
  EXPECT_EQ(chain.renderer->FramesLate(), 0);
  EXPECT_EQ(chain.renderer->AverageLateness(), 0);
}

TEST_F(GraphStart, ARendererThatNeverPrerolls_delaysRunByTheBoundOnly_andPlaybackGoesOn) {
  ComPtr<TFakeClock> clock(new TFakeClock);
  gen = new TGeneratorSource({TestVideoType(MEDIASUBTYPE_YUY2), TestAudioType()}, 5 * kFrame, kFrame);
  graph->AddFilter(gen.Get(), "Source");
  TChain video = AddChain(graph.Get(), gen.Get(), 0, clock.Get(), 0, false);
  TChain stuck = AddChain(graph.Get(), gen.Get(), 1, clock.Get(), 0, true);  // held until opened
  ASSERT_EQ(mediaFilter->SetSyncSource(clock.Get()), S_OK);

  HRESULT hr = control->Run();  // a hang here is caught by the test's time-out
  EXPECT_EQ(hr, S_FALSE);       // the bound passed: running, still completing
  EXPECT_EQ(video.renderer->Prerolls(), 1);
  EXPECT_EQ(stuck.renderer->Prerolls(), 0);
  OAFilterState st;
  EXPECT_EQ(control->GetState(0, &st), S_OK);
  EXPECT_EQ(st, State_Running);
  // The stuck branch comes to life later; both play to the end and the graph completes.
  stuck.slow->Open();
  clock->Advance(kRunStartLatency + 5 * kFrame);
  int32_t code = 0;
  ASSERT_EQ(events->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_GE(video.renderer->Count(), 1);
  EXPECT_GE(stuck.renderer->Count(), 1);
  EXPECT_EQ(control->Stop(), S_OK);
}

}  // namespace
}  // namespace kv::testing
