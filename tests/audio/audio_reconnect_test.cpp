// The sound server restarts while a file plays (desktops restart it on updates and device
// changes): the picture's clock never stops, the sound comes back, and the clock hands over
// to the new stream without a jump.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "filters/audio/audio_devices.h"
#include "filters/audio/audio_renderer.h"
#include "platform/graph/filter_graph.h"
#include "platform/graph/graph_interfaces.h"
#include "pulse_test_server.h"
#include "synthetic_filters.h"
#include "test_source.h"

namespace kv::audio {
namespace {

using kv::test::TPulseTestServer;

[[maybe_unused]] auto* const PulseEnvironment =
    ::testing::AddGlobalTestEnvironment(new kv::test::TPulseEnvironment);

constexpr REFERENCE_TIME Ms = 10000;

double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Samples the graph clock every 20 ms on its own thread: (wall seconds, clock seconds).
class TClockRecorder {
 public:
  explicit TClockRecorder(IReferenceClock* clock) : Clock_(clock) {
    Thread_ = std::thread([this] {
      while (!Stop_) {
        REFERENCE_TIME t = 0;
        Clock_->GetTime(&t);
        {
          std::lock_guard<std::mutex> lock(Mutex_);
          Samples_.emplace_back(Seconds(), t / 1e7);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
  }
  ~TClockRecorder() {
    Stop_ = true;
    Thread_.join();
  }
  // The largest forward jump of the clock beyond the wall time between two samples, and
  // the longest stretch (wall seconds) in which the clock did not move, after `from`.
  std::pair<double, double> JumpAndStallAfter(double from) {
    std::lock_guard<std::mutex> lock(Mutex_);
    double jump = 0, stall = 0, stillSince = -1;
    for (size_t i = 1; i < Samples_.size(); ++i) {
      if (Samples_[i].first < from) continue;
      const double wall = Samples_[i].first - Samples_[i - 1].first;
      const double clock = Samples_[i].second - Samples_[i - 1].second;
      jump = std::max(jump, clock - wall);
      if (clock <= 0.0005) {
        if (stillSince < 0) stillSince = Samples_[i - 1].first;
        stall = std::max(stall, Samples_[i].first - stillSince);
      } else {
        stillSince = -1;
      }
    }
    return {jump, stall};
  }

 private:
  IReferenceClock* Clock_;
  std::atomic<bool> Stop_{false};
  std::mutex Mutex_;  // guards Samples_
  std::vector<std::pair<double, double>> Samples_;
  std::thread Thread_;
};

TEST(AudioReconnect, SoundComesBackAfterEachServerRestart_andTheClockNeitherStopsNorJumps) {
  KV_REQUIRE_PULSE();
  TPulseTestServer& server = TPulseTestServer::Instance();
  CoInitialize();
  ComPtr<IGraphBuilder> graph = CreateFilterGraph();
  ComPtr<IMediaControl> control;
  graph->QueryInterface(IMediaControl::kIid, control.PutVoid());
  ComPtr<IBaseFilter> source(new kv::testing::TGeneratorSource({kv::testing::TestAudioType()}, 60000 * Ms, 10 * Ms, 1920));
  auto* audio = new TAudioRenderer(KClsidDSoundRender, "kv_null_a");
  ComPtr<IBaseFilter> renderer(audio);
  ASSERT_EQ(graph->AddFilter(source.Get(), "Generator"), S_OK);
  ASSERT_EQ(graph->AddFilter(renderer.Get(), "Audio renderer"), S_OK);
  ASSERT_EQ(graph->ConnectDirect(kv::testing::OutputPin(source.Get(), 0), kv::testing::InputPin(renderer.Get(), 0), nullptr),
            S_OK);
  ComPtr<IReferenceClock> clock;
  ASSERT_EQ(renderer->QueryInterface(IReferenceClock::kIid, clock.PutVoid()), S_OK);
  ComPtr<IMediaFilter> mediaFilter;
  graph->QueryInterface(IMediaFilter::kIid, mediaFilter.PutVoid());
  ASSERT_EQ(mediaFilter->SetSyncSource(clock.Get()), S_OK);

  auto waitForSound = [&](double limit) {
    const double end = Seconds() + limit;
    while (Seconds() < end) {
      // Our stream exists, on the server that runs now.
      if (audio->SinkInputIndex() != KInvalidIndex && !server.Pactl("list short sink-inputs").empty()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  };

  ASSERT_GE(control->Run(), 0);
  ASSERT_TRUE(waitForSound(10));
  TClockRecorder recorder(clock.Get());
  for (int restart = 1; restart <= 2; ++restart) {
    SCOPED_TRACE("restart " + std::to_string(restart));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    server.Kill();
    const double killed = Seconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ASSERT_TRUE(server.Start()) << server.Error();
    const double restarted = Seconds();
    // The null sink plays in blocks of two seconds: "back" is the new stream on the server.
    ASSERT_TRUE(waitForSound(10));
    const double back = Seconds() - restarted;
    EXPECT_LT(back, 2.0) << "sound came back " << back << " s after the server";
    // Three seconds on the new stream (the null sink's latency is two): the clock has handed
    // over to it by then.
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    EXPECT_TRUE(audio->ClockSource()->Following());
    auto [jump, stall] = recorder.JumpAndStallAfter(killed);
    EXPECT_LT(jump, 0.1) << "the clock jumped " << jump << " s";
    EXPECT_LT(stall, 0.3) << "the clock stood still for " << stall << " s";
  }
  control->Stop();
}

}  // namespace
}  // namespace kv::audio
