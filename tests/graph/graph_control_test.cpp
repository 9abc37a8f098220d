// Running graphs: state transitions, preroll, end of stream, events, clocks, teardown.
#include <atomic>
#include <future>

#include "fake_clock.h"
#include "graph_fixture.h"

namespace kv::testing {
namespace {

using GraphControl = GraphTest;

TEST_F(GraphControl, PauseFromStopped_prerollsOneSampleIntoEveryRenderer) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2), TestAudioType()}, kSecond, kFrame);
  HRESULT hr = control->Pause();
  EXPECT_TRUE(hr == S_OK || hr == S_FALSE);
  OAFilterState st;
  EXPECT_EQ(control->GetState(-1, &st), S_OK);
  EXPECT_EQ(st, State_Paused);
  for (auto& r : renderers) {
    EXPECT_EQ(r->Prerolls(), 1);
    EXPECT_EQ(r->Count(), 0);  // held, not rendered while paused
  }
}

TEST_F(GraphControl, GetState_isIntermediate_whileARendererWaitsForItsPreroll) {
  // A renderer fed by nothing that streams: its source pin is connected but idle.
  gen = new TGeneratorSource({TestVideoType(MEDIASUBTYPE_YUY2)}, 0, kFrame);  // ends at once
  ComPtr<TCountingRenderer> r(new TCountingRenderer());
  graph->AddFilter(gen.Get(), "Source");
  graph->AddFilter(r.Get(), "Renderer");
  graph->ConnectDirect(PinOf(gen.Get(), PINDIR_OUTPUT, 0).Get(), PinOf(r.Get(), PINDIR_INPUT, 0).Get(), nullptr);
  control->Pause();
  OAFilterState st;
  // End of stream counts as prerolled: the pause completes without any sample.
  EXPECT_EQ(control->GetState(-1, &st), S_OK);
  EXPECT_EQ(r->Prerolls(), 0);
}

TEST_F(GraphControl, EndOfStreamIntoAStoppedRenderer_isRefused_andTheNextRunPlays) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, kSecond, kFrame);
  ComPtr<IPin> in = PinOf(renderers[0].Get(), PINDIR_INPUT, 0);
  // A late end of stream from an upstream thread after the renderer has stopped.
  EXPECT_EQ(in->EndOfStream(), VFW_E_WRONG_STATE);
  mediaFilter->SetSyncSource(nullptr);
  control->Run();
  renderers[0]->WaitForCount(5);
  EXPECT_GE(renderers[0]->Count(), 5) << "the stale end of stream did not make the run refuse samples";
}

TEST_F(GraphControl, RunWithNoConnectedRenderer_completesAtOnce) {
  gen = new TGeneratorSource({TestAudioType()}, kSecond, kFrame);
  ComPtr<TCountingRenderer> r(new TCountingRenderer());
  graph->AddFilter(gen.Get(), "Source");
  graph->AddFilter(r.Get(), "Renderer");  // in the graph, but nothing flows into it
  EXPECT_TRUE(SUCCEEDED(control->Run()));
  int32_t code = 0;
  intptr_t p1 = 0, p2 = 0;
  ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 5000), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  events->FreeEventParams(code, p1, p2);
}

TEST_F(GraphControl, StateTransitions_followEveryPathBetweenTheThreeStates) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, 1000 * kSecond, kFrame);
  mediaFilter->SetSyncSource(nullptr);
  struct Step {
    const char* what;
    std::function<HRESULT()> call;
    OAFilterState expected;
  } steps[] = {
      {"stop when stopped", [&] { return control->Stop(); }, State_Stopped},
      {"pause from stopped", [&] { return control->Pause(); }, State_Paused},
      {"run from paused", [&] { return control->Run(); }, State_Running},
      {"pause from running", [&] { return control->Pause(); }, State_Paused},
      {"stop from paused", [&] { return control->Stop(); }, State_Stopped},
      {"run from stopped", [&] { return control->Run(); }, State_Running},
      {"run when running", [&] { return control->Run(); }, State_Running},
      {"stop from running", [&] { return control->Stop(); }, State_Stopped},
      {"stop twice", [&] { return control->Stop(); }, State_Stopped},
  };
  for (auto& s : steps) {
    EXPECT_TRUE(SUCCEEDED(s.call())) << s.what;
    OAFilterState st;
    EXPECT_EQ(control->GetState(-1, &st), S_OK) << s.what;
    EXPECT_EQ(st, s.expected) << s.what;
    FILTER_STATE fs;
    renderers[0]->GetState(0, &fs);
    EXPECT_EQ(fs, s.expected) << s.what;
    gen->GetState(0, &fs);
    EXPECT_EQ(fs, s.expected) << s.what;
  }
}

TEST_F(GraphControl, StopWhenReady_showsTheFirstFrameAndEndsStopped) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, kSecond, kFrame);
  EXPECT_EQ(control->StopWhenReady(), S_OK);
  OAFilterState st;
  control->GetState(0, &st);
  EXPECT_EQ(st, State_Stopped);
  EXPECT_EQ(renderers[0]->Prerolls(), 1);
}

TEST_F(GraphControl, UnclockedRun_rendersEverySampleWithoutWaiting) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, 100 * kSecond, kFrame, true);
  ASSERT_EQ(mediaFilter->SetSyncSource(nullptr), S_OK);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  int32_t code = 0;
  // 2500 frames of stream time; without a clock this is limited only by the machine.
  ASSERT_EQ(events->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(renderers[0]->Count(), 2500);
  EXPECT_EQ(transform->Samples(), 2500);
  auto samples = renderers[0]->RenderedSamples();
  for (size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(samples[i].position, static_cast<int64_t>(i) * kFrame);
}

TEST_F(GraphControl, EndOfStream_withSeveralRenderers_completesOnceAfterTheLast) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2), TestAudioType(), TestAudioType()},
                                       kSecond, kFrame);
  mediaFilter->SetSyncSource(nullptr);
  control->Run();
  int32_t code = 0;
  ASSERT_EQ(events->WaitForCompletion(-1, &code), S_OK);
  for (auto& r : renderers) EXPECT_EQ(r->Count(), 25);
  auto codes = DrainEvents();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), EC_COMPLETE), 1);
}

TEST_F(GraphControl, EndOfStream_reachedWhilePaused_completesAtRun) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, 0, kFrame);
  mediaFilter->SetSyncSource(nullptr);
  control->Pause();
  OAFilterState st;
  control->GetState(-1, &st);
  EXPECT_TRUE(DrainEvents().empty());
  control->Run();
  int32_t code = 0;
  EXPECT_EQ(events->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
}

TEST_F(GraphControl, EventQueue_deliversInOrder_notifiesOnEach_andTimesOut) {
  std::atomic<int> notified{0};
  events->SetNotifyCallback([&] { notified.fetch_add(1); });
  auto sink = graph.Query<IMediaEventSink>();
  ASSERT_TRUE(sink);
  sink->Notify(EC_VIDEO_SIZE_CHANGED, 640, 480);
  sink->Notify(EC_ERRORABORTEX, E_FAIL, reinterpret_cast<intptr_t>(new TEventErrorText{"Broken", "detail"}));
  sink->Notify(EC_PAUSED, 0, 0);
  EXPECT_EQ(notified.load(), 3);
  int32_t code;
  intptr_t p1, p2;
  ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
  EXPECT_EQ(code, EC_VIDEO_SIZE_CHANGED);
  EXPECT_EQ(p1, 640);
  events->FreeEventParams(code, p1, p2);
  ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
  EXPECT_EQ(code, EC_ERRORABORTEX);
  EXPECT_EQ(reinterpret_cast<TEventErrorText*>(p2)->userText, "Broken");
  events->FreeEventParams(code, p1, p2);  // frees the texts (ASan checks the leak)
  ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
  events->FreeEventParams(code, p1, p2);
  EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT);
  EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 10), E_ABORT);
  events->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY);
  sink->Notify(EC_PAUSED, 0, 0);
  EXPECT_EQ(notified.load(), 3);
}

TEST_F(GraphControl, GetEvent_withTimeOut_wakesWhenAnEventArrivesFromAnotherThread) {
  auto sink = graph.Query<IMediaEventSink>();
  auto waiter = std::async(std::launch::async, [&] {
    int32_t code;
    intptr_t p1, p2;
    HRESULT hr = events->GetEvent(&code, &p1, &p2, -1);
    return hr == S_OK ? code : -1;
  });
  sink->Notify(EC_PAUSED, 0, 0);
  EXPECT_EQ(waiter.get(), EC_PAUSED);
}

TEST_F(GraphControl, ClockedRun_rendersEachSampleWhenTheClockReachesIt) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, 10 * kFrame, kFrame);
  ComPtr<TFakeClock> clock(new TFakeClock);
  clock->SetTime(1000 * kSecond);
  ASSERT_EQ(mediaFilter->SetSyncSource(clock.Get()), S_OK);
  control->Pause();
  OAFilterState st;
  control->GetState(-1, &st);
  control->Run();
  // Stream time 0 is now: the first (preroll) sample is due at once, the next one is not.
  renderers[0]->WaitForCount(1);
  clock->WaitForAdvises(1);
  EXPECT_EQ(renderers[0]->Count(), 1);
  clock->Advance(kFrame);
  renderers[0]->WaitForCount(2);
  clock->WaitForAdvises(1);
  EXPECT_EQ(renderers[0]->Count(), 2);
  int64_t position = 0;
  seeking->GetCurrentPosition(&position);
  EXPECT_EQ(position, kFrame);
}

TEST_F(GraphControl, LateSamples_areDropped_byRenderersThatAllowIt) {
  gen = new TGeneratorSource({TestVideoType(MEDIASUBTYPE_YUY2)}, 20 * kFrame, kFrame);
  ComPtr<TCountingRenderer> video(new TCountingRenderer(GUID_NULL, true));
  graph->AddFilter(gen.Get(), "Source");
  graph->AddFilter(video.Get(), "Video");
  graph->ConnectDirect(PinOf(gen.Get(), PINDIR_OUTPUT, 0).Get(), PinOf(video.Get(), PINDIR_INPUT, 0).Get(), nullptr);
  ComPtr<TFakeClock> clock(new TFakeClock);
  mediaFilter->SetSyncSource(clock.Get());
  control->Pause();
  OAFilterState st;
  control->GetState(-1, &st);
  control->Run();
  video->WaitForCount(1);
  clock->WaitForAdvises(1);
  // Jump past the end: every later sample is late. The renderer drops runs of at most
  // kMaxConsecutiveDrops and presents one after each run: frames 1-8 dropped, 9 shown,
  // 10-17 dropped, 18 shown, 19 dropped.
  clock->Advance(30 * kFrame);
  int32_t code;
  ASSERT_EQ(events->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(video->FramesDropped(), 17);
  EXPECT_EQ(video->Count(), 3);
  auto shown = video->RenderedSamples();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[1].position, 9 * kFrame);
  EXPECT_EQ(shown[2].position, 18 * kFrame);
}

TEST_F(GraphControl, LateSamples_areAllPresented_byRenderersThatDoNotDrop) {
  auto renderers = BuildGeneratorGraph({TestAudioType()}, 20 * kFrame, kFrame);
  ComPtr<TFakeClock> clock(new TFakeClock);
  mediaFilter->SetSyncSource(clock.Get());
  control->Run();
  clock->Advance(30 * kFrame);
  int32_t code;
  ASSERT_EQ(events->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(renderers[0]->Count(), 20);
  EXPECT_EQ(renderers[0]->FramesDropped(), 0);
}

TEST_F(GraphControl, Release_whileStreaming_stopsEverythingAndFreesTheFilters) {
  int generators = TGeneratorSource::liveInstances.load();
  int renderersBefore = TCountingRenderer::liveInstances.load();
  {
    auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2), TestAudioType()}, 1000 * kSecond,
                                         kFrame, true);
    control->Run();  // clocked: both renderers end up blocked waiting for their time
    renderers[0]->WaitForCount(1);
    renderers.clear();
  }
  gen.Reset();
  transform.Reset();
  control.Reset();
  seeking.Reset();
  events.Reset();
  mediaFilter.Reset();
  graph.Reset();  // the last reference: teardown with streaming threads still running
  EXPECT_EQ(TGeneratorSource::liveInstances.load(), generators);
  EXPECT_EQ(TCountingRenderer::liveInstances.load(), renderersBefore);
}

TEST_F(GraphControl, SetSyncSource_isRefusedWhileRunning) {
  BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, 1000 * kSecond, kFrame);
  control->Run();
  EXPECT_EQ(mediaFilter->SetSyncSource(nullptr), VFW_E_NOT_STOPPED);
  control->Pause();
  EXPECT_EQ(mediaFilter->SetSyncSource(nullptr), S_OK);
  EXPECT_EQ(graph->SetDefaultSyncSource(), S_OK);
  ComPtr<IReferenceClock> clock;
  mediaFilter->GetSyncSource(clock.Put());
  EXPECT_TRUE(clock);
}

}  // namespace
}  // namespace kv::testing

namespace kv::testing {
namespace {

class TFailingTransform : public TTestTransform {
 public:
  TFailingTransform() : TTestTransform(TTransformMode::InPlace) {}
  HRESULT TransformInPlace(IMediaSample*) override { return E_OUTOFMEMORY; }
};

TEST_F(GraphControl, AStreamingFailure_isReportedOnce_withTextsForUserAndDeveloper) {
  gen = new TGeneratorSource({TestVideoType(MEDIASUBTYPE_YUY2)}, 1000 * kSecond, kFrame);
  ComPtr<TFailingTransform> failing(new TFailingTransform);
  ComPtr<TCountingRenderer> r(new TCountingRenderer());
  graph->AddFilter(gen.Get(), "Source");
  graph->AddFilter(failing.Get(), "Failing");
  graph->AddFilter(r.Get(), "Renderer");
  graph->ConnectDirect(PinOf(gen.Get(), PINDIR_OUTPUT, 0).Get(), PinOf(failing.Get(), PINDIR_INPUT, 0).Get(), nullptr);
  graph->ConnectDirect(PinOf(failing.Get(), PINDIR_OUTPUT, 0).Get(), PinOf(r.Get(), PINDIR_INPUT, 0).Get(), nullptr);
  mediaFilter->SetSyncSource(nullptr);
  control->Run();
  int32_t code = 0;
  ASSERT_EQ(events->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(code, EC_ERRORABORTEX);
  control->Stop();
  int errors = 0;
  int32_t c;
  intptr_t p1, p2;
  while (events->GetEvent(&c, &p1, &p2, 0) == S_OK) {
    if (c == EC_ERRORABORTEX) {
      ++errors;
      EXPECT_EQ(p1, E_OUTOFMEMORY);
      auto* text = reinterpret_cast<TEventErrorText*>(p2);
      EXPECT_FALSE(text->userText.empty());
      EXPECT_NE(text->detail.find("0x8007000E"), std::string::npos);
      EXPECT_EQ(text->detail.rfind("\"Failing\": ", 0), 0u) << text->detail;
    }
    events->FreeEventParams(c, p1, p2);
  }
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(r->Count(), 0);
}

}  // namespace
}  // namespace kv::testing
