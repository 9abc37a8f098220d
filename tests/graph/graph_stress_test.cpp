// Random sequences of state changes, seeks and rate changes on a streaming graph with two
// branches and a copying transform: nothing deadlocks, the graph ends in the state asked
// for, and no renderer ever sees a sample from an older segment.
#include <random>

#include "graph_fixture.h"

namespace kv::testing {
namespace {

class GraphStress : public GraphTest, public ::testing::WithParamInterface<bool> {};

TEST_P(GraphStress, RandomOperations_keepTheGraphConsistent) {
  const bool clocked = GetParam();
  gen = new TGeneratorSource({TestVideoType(MEDIASUBTYPE_YUY2), TestAudioType()}, 1000000 * kSecond, kFrame);
  ComPtr<TTestTransform> converter(new TTestTransform(TTransformMode::Copy, MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB32));
  ComPtr<TCountingRenderer> video(new TCountingRenderer(MEDIATYPE_Video, true));
  ComPtr<TCountingRenderer> audio(new TCountingRenderer(MEDIATYPE_Audio));
  graph->AddFilter(gen.Get(), "Source");
  graph->AddFilter(converter.Get(), "Converter");
  graph->AddFilter(video.Get(), "Video");
  graph->AddFilter(audio.Get(), "Audio");
  ASSERT_EQ(graph->ConnectDirect(PinOf(gen.Get(), PINDIR_OUTPUT, 0).Get(), PinOf(converter.Get(), PINDIR_INPUT, 0).Get(),
                                 nullptr),
            S_OK);
  ASSERT_EQ(graph->ConnectDirect(PinOf(converter.Get(), PINDIR_OUTPUT, 0).Get(), PinOf(video.Get(), PINDIR_INPUT, 0).Get(),
                                 nullptr),
            S_OK);
  ASSERT_EQ(graph->ConnectDirect(PinOf(gen.Get(), PINDIR_OUTPUT, 1).Get(), PinOf(audio.Get(), PINDIR_INPUT, 0).Get(),
                                 nullptr),
            S_OK);
  if (!clocked) mediaFilter->SetSyncSource(nullptr);

  std::mt19937 random(clocked ? 11 : 12);
  OAFilterState expected = State_Stopped;
  for (int i = 0; i < 150; ++i) {
    switch (random() % 6) {
      case 0:
        ASSERT_TRUE(SUCCEEDED(control->Run()));
        expected = State_Running;
        break;
      case 1:
        ASSERT_TRUE(SUCCEEDED(control->Pause()));
        expected = State_Paused;
        break;
      case 2:
        ASSERT_EQ(control->Stop(), S_OK);
        expected = State_Stopped;
        break;
      case 3: {
        int64_t target = static_cast<int64_t>(random() % 100000) * kFrame;
        ASSERT_TRUE(SUCCEEDED(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr,
                                                    AM_SEEKING_NoPositioning)));
        break;
      }
      case 4:
        ASSERT_EQ(seeking->SetRate((random() % 4 + 1) * 0.5), S_OK);
        break;
      case 5:
        ASSERT_TRUE(SUCCEEDED(control->StopWhenReady()));
        expected = State_Stopped;
        break;
    }
    OAFilterState st;
    ASSERT_EQ(control->GetState(-1, &st), S_OK) << "operation " << i;
    ASSERT_EQ(st, expected) << "operation " << i;
  }
  control->Stop();
  for (auto* r : {video.Get(), audio.Get()}) {
    int segment = -1;
    REFERENCE_TIME next = 0;
    for (auto& s : r->RenderedSamples()) {
      if (s.segment != segment) {
        segment = s.segment;
        next = s.position;  // a segment starts where its seek put it
        ASSERT_EQ(s.position, s.segmentStart);
      }
      // Video may drop late frames, so only the order is certain there.
      if (r == audio.Get()) {
        ASSERT_EQ(s.position, next);
      } else {
        ASSERT_GE(s.position, next);
      }
      next = s.position + kFrame;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ClockedAndUnclocked, GraphStress, ::testing::Bool());

}  // namespace
}  // namespace kv::testing
