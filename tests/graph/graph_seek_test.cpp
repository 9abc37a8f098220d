// Seeking and rate: flushes reach every filter, nothing from before a seek arrives after
// it, positions and rates are reported in media time.
#include <random>

#include "fake_clock.h"
#include "graph_fixture.h"

namespace kv::testing {
namespace {

using GraphSeek = GraphTest;

// Within each segment the samples start exactly at the segment's start and follow each
// other frame by frame: a sample from before a seek would break the run.
void ExpectOnlyCurrentSamples(TCountingRenderer* r, const std::vector<REFERENCE_TIME>& targets) {
  int segment = -1;
  REFERENCE_TIME expected = 0;
  for (auto& s : r->RenderedSamples()) {
    if (s.segment != segment) {
      segment = s.segment;
      expected = s.segmentStart;
      ASSERT_TRUE(s.segmentStart == 0 || std::count(targets.begin(), targets.end(), s.segmentStart))
          << "segment start " << s.segmentStart;
    }
    ASSERT_EQ(s.position, expected) << "segment " << s.segment;
    expected += kFrame;
  }
}

TEST_F(GraphSeek, SeekWhilePaused_flushesEveryFilter_andPrerollsTheNewPosition) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, 10 * kSecond, kFrame, true);
  mediaFilter->SetSyncSource(nullptr);
  control->Pause();
  OAFilterState st;
  ASSERT_EQ(control->GetState(-1, &st), S_OK);
  int64_t target = 5 * kSecond;
  ASSERT_EQ(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, nullptr,
                                  AM_SEEKING_NoPositioning),
            S_OK);
  ASSERT_EQ(control->GetState(-1, &st), S_OK);
  EXPECT_EQ(st, State_Paused);
  EXPECT_EQ(transform->BeginFlushes(), 1);
  EXPECT_EQ(transform->EndFlushes(), 1);
  EXPECT_EQ(renderers[0]->Flushes(), 1);
  EXPECT_EQ(renderers[0]->Prerolls(), 2);
  EXPECT_EQ(renderers[0]->LastSegmentStart(), 5 * kSecond);
  int64_t position = 0;
  seeking->GetCurrentPosition(&position);
  EXPECT_EQ(position, 5 * kSecond);
  control->Run();
  int32_t code;
  ASSERT_EQ(events->WaitForCompletion(-1, &code), S_OK);
  auto samples = renderers[0]->RenderedSamples();
  ASSERT_EQ(samples.size(), 125u);  // 5 s at 25 frames per second
  EXPECT_EQ(samples.front().position, 5 * kSecond);
  EXPECT_EQ(samples.front().start, 0);  // stream time restarts at the seek
  ExpectOnlyCurrentSamples(renderers[0].Get(), {5 * kSecond});
}

TEST_F(GraphSeek, SeekWhileRunning_restartsAtTheTarget_onTheClock) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, 60 * kSecond, kFrame, true);
  ComPtr<TFakeClock> clock(new TFakeClock);
  mediaFilter->SetSyncSource(clock.Get());
  control->Run();
  // Run from stopped starts stream time a little after now: frame 0 waits for it.
  clock->WaitForAdvises(1);
  clock->Advance(kRunStartLatency);
  renderers[0]->WaitForCount(1);
  clock->WaitForAdvises(1);  // blocked in the renderer until frame 1 is due
  int64_t target = 20 * kSecond;
  ASSERT_EQ(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
  OAFilterState st;
  control->GetState(0, &st);
  EXPECT_EQ(st, State_Running);
  renderers[0]->WaitForCount(2);  // the first frame at the target is due at once
  auto samples = renderers[0]->RenderedSamples();
  EXPECT_EQ(samples[1].position, 20 * kSecond);
  int64_t position = 0;
  seeking->GetCurrentPosition(&position);
  EXPECT_EQ(position, 20 * kSecond);
  clock->WaitForAdvises(1);
  clock->Advance(kSecond);
  renderers[0]->WaitForCount(27);
  seeking->GetCurrentPosition(&position);
  EXPECT_EQ(position, 21 * kSecond);
  ExpectOnlyCurrentSamples(renderers[0].Get(), {20 * kSecond});
}

TEST_F(GraphSeek, RepeatedSeeksWhileStreamingUnclocked_neverLetOldSamplesThrough) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2), TestAudioType()}, 1000000 * kSecond, kFrame,
                                       true);
  mediaFilter->SetSyncSource(nullptr);
  control->Run();
  std::mt19937 random(7);
  std::vector<REFERENCE_TIME> targets;
  for (int i = 0; i < 20; ++i) {
    renderers[0]->WaitForCount(renderers[0]->Count() + 5);
    int64_t target = static_cast<int64_t>(random() % 3000) * kSecond;
    targets.push_back(target);
    ASSERT_EQ(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning),
              S_OK);
  }
  renderers[0]->WaitForCount(renderers[0]->Count() + 5);
  control->Stop();
  for (auto& r : renderers) ExpectOnlyCurrentSamples(r.Get(), targets);
  EXPECT_EQ(gen->Seeks(), 20 + 1);  // and one more: Stop records where it stopped
}

TEST_F(GraphSeek, SetRate_compressesSampleTimes_andIsReportedBack) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, 2 * kSecond, kFrame);
  mediaFilter->SetSyncSource(nullptr);
  control->Pause();
  OAFilterState st;
  control->GetState(-1, &st);
  EXPECT_EQ(seeking->SetRate(0), E_INVALIDARG);
  EXPECT_EQ(seeking->SetRate(-1), E_INVALIDARG);
  ASSERT_EQ(seeking->SetRate(2.0), S_OK);
  double rate = 0;
  seeking->GetRate(&rate);
  EXPECT_EQ(rate, 2.0);
  control->GetState(-1, &st);
  EXPECT_EQ(renderers[0]->LastSegmentRate(), 2.0);
  control->Run();
  int32_t code;
  ASSERT_EQ(events->WaitForCompletion(-1, &code), S_OK);
  auto samples = renderers[0]->RenderedSamples();
  ASSERT_GE(samples.size(), 2u);
  EXPECT_EQ(samples[1].start - samples[0].start, kFrame / 2);
}

TEST_F(GraphSeek, TimeFormats_onlyMediaTimeIsSupported) {
  BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, 7 * kSecond, kFrame);
  EXPECT_EQ(seeking->IsFormatSupported(&TIME_FORMAT_MEDIA_TIME), S_OK);
  EXPECT_EQ(seeking->IsFormatSupported(&TIME_FORMAT_FRAME), S_FALSE);
  EXPECT_EQ(seeking->SetTimeFormat(&TIME_FORMAT_FRAME), E_INVALIDARG);
  GUID saved;
  ASSERT_EQ(seeking->GetTimeFormat(&saved), S_OK);
  EXPECT_EQ(saved, TIME_FORMAT_MEDIA_TIME);
  EXPECT_EQ(seeking->SetTimeFormat(&saved), S_OK);
  int64_t duration = 0;
  EXPECT_EQ(seeking->GetDuration(&duration), S_OK);
  EXPECT_EQ(duration, 7 * kSecond);
}

TEST_F(GraphSeek, AGraphWithoutSeekableFilters_reportsNoMediaTimeAndNoDuration) {
  ComPtr<TCountingRenderer> r(new TCountingRenderer());
  graph->AddFilter(r.Get(), "Renderer");
  EXPECT_EQ(seeking->IsFormatSupported(&TIME_FORMAT_MEDIA_TIME), S_FALSE);
  int64_t duration = 5;
  EXPECT_TRUE(FAILED(seeking->GetDuration(&duration)));
  int64_t target = 0;
  EXPECT_TRUE(FAILED(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0)));
}

TEST_F(GraphSeek, StopThenRewindThenStopWhenReady_showsTheFirstFrameAgain) {
  // The engine's Stop: IMediaControl::Stop, SetPositions(0), StopWhenReady.
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, 10 * kSecond, kFrame);
  mediaFilter->SetSyncSource(nullptr);
  control->Run();
  renderers[0]->WaitForCount(10);
  ASSERT_EQ(control->Stop(), S_OK);
  int64_t zero = 0;
  ASSERT_EQ(seeking->SetPositions(&zero, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
  int prerolls = renderers[0]->Prerolls();
  ASSERT_EQ(control->StopWhenReady(), S_OK);
  EXPECT_EQ(renderers[0]->Prerolls(), prerolls + 1);
  EXPECT_EQ(renderers[0]->LastSegmentStart(), 0);
  int64_t position = -1;
  seeking->GetCurrentPosition(&position);
  EXPECT_EQ(position, 0);
}

TEST_F(GraphSeek, PausedPosition_staysWhereThePauseLeftIt) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, 60 * kSecond, kFrame);
  ComPtr<TFakeClock> clock(new TFakeClock);
  mediaFilter->SetSyncSource(clock.Get());
  control->Run();
  clock->WaitForAdvises(1);
  clock->Advance(kRunStartLatency);
  renderers[0]->WaitForCount(1);
  clock->WaitForAdvises(1);
  clock->Advance(2 * kSecond);
  control->Pause();
  clock->Advance(5 * kSecond);
  int64_t position = 0;
  seeking->GetCurrentPosition(&position);
  EXPECT_EQ(position, 2 * kSecond);
  control->Run();  // stream time continues from the pause
  seeking->GetCurrentPosition(&position);
  EXPECT_EQ(position, 2 * kSecond);
}

}  // namespace
}  // namespace kv::testing
