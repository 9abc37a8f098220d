// The engine as the player uses it: real renderers, sound through a private PulseAudio
// server with null sinks, and picture without sound when no sound server answers.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "../audio/pulse_test_server.h"
#include "debugsup/debugsup.h"
#include "engine/contrl.h"
#include "lib/engine_events.h"
#include "filters/builtin/builtin_filters.h"
#include "platform/graph/filter_graph.h"
#include "platform/ui/messagebox.h"

namespace kv {
namespace {

[[maybe_unused]] auto* const PulseEnvironment = ::testing::AddGlobalTestEnvironment(new test::TPulseEnvironment);

const std::string kMedia = std::string(KAVELLO_PROGRAM_DIR) + "/tests/media/clips/";

class EnginePlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize();
    RegisterBuiltinFilters(true);
    ui::SetMessageBoxHandler([this](const std::string& text, const std::string&) { boxes.push_back(text); });
    log = ::testing::TempDir() + "kv_engine_playback.log";
    std::remove(log.c_str());
    Debug.SetFileName(log);
    Debug.Enabled = true;
    std::ifstream probe(kMedia + "clips.list");
    if (!probe) GTEST_FAIL() << "generated media missing at " << kMedia << ": the kavello_media fixture must run first";
  }
  void TearDown() override {
    Debug.Enabled = false;
    ui::SetMessageBoxHandler({});
  }
  std::unique_ptr<TCOMPlay> PlayerEngine() {
    auto e = std::make_unique<TCOMPlay>(nullptr, KAVELLO_PROGRAM_DIR);
    e->UseClock = true;
    events_.Attach(*e);
    return e;
  }
  bool RunToEnd(TCOMPlay& e) { return events_.RunToEnd(e); }
  std::string Log() {
    std::ifstream in(log);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  bool InGraph(TCOMPlay& e, const std::string& name) {
    for (const auto& n : e.FilterNames())
      if (n == name) return true;
    return false;
  }

  std::vector<std::string> boxes;
  std::string log;
  test::TEngineEvents events_;
};

TEST_F(EnginePlaybackTest, playsPictureAndSoundToTheEnd) {
  KV_REQUIRE_PULSE();
  auto e = PlayerEngine();
  ASSERT_FALSE(e->AudioRendererNames.empty());
  EXPECT_EQ(e->AudioRendererName, "Default DirectSound Device");
  e->OpenVideo(kMedia + "avi_mpeg4_mp3.avi");
  ASSERT_EQ(e->State, psOpened);
  for (const char* name : {"Video Renderer", "Kavello Video Decoder", "Kavello Audio Decoder", "Audio renderer"})
    EXPECT_TRUE(InGraph(*e, name)) << name;
  EXPECT_EQ(e->AudioStreamName, "Audio");
  EXPECT_TRUE(e->GrabberConnected);
  EXPECT_TRUE(e->SetMute(true));
  EXPECT_TRUE(e->SetMute(false));
  // The picture moves to the overlay mixer pair without reopening the file.
  e->ChangeVideoRenderer("Overlay mixer");
  EXPECT_TRUE(InGraph(*e, "Overlay mixer"));
  EXPECT_TRUE(InGraph(*e, "Video Renderer"));
  std::vector<std::string> in, out;
  ASSERT_TRUE(e->ListFilterPins("Overlay mixer", &in, &out));
  ASSERT_FALSE(in.empty());
  EXPECT_NE(in[0].find(" -> "), std::string::npos);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].substr(out[0].find(" -> ")), " -> Video Renderer");
  ASSERT_TRUE(RunToEnd(*e));
  EXPECT_EQ(e->State, psPaused);
  EXPECT_GT(e->GetVideoBitrate(), 0);
  EXPECT_GT(e->GetAudioBitrate(), 0);
  // The grabber kept the last picture.
  auto path = ::testing::TempDir() + "kv_engine_capture.bmp";
  EXPECT_TRUE(e->GrabFrame(path));
  std::ifstream bmp(path, std::ios::binary | std::ios::ate);
  EXPECT_EQ(static_cast<long>(bmp.tellg()), 54 + 176 * 144 * 3);
  std::remove(path.c_str());
  // Sound from a separate file: the audio renderer becomes the graph's clock.
  e->OpenAudio(kMedia + "audio_mp3.mp3");
  EXPECT_EQ(e->AudioFileName, kMedia + "audio_mp3.mp3");
  EXPECT_EQ(e->State, psPaused);
  ComPtr<IMediaFilter> graphFilter;
  ComPtr<IReferenceClock> clock, rendererClock;
  ASSERT_TRUE(SUCCEEDED(e->Graph.As(&graphFilter)));
  ASSERT_TRUE(SUCCEEDED(graphFilter->GetSyncSource(clock.Put())));
  ASSERT_TRUE(SUCCEEDED(e->AudioRenderer.As(&rendererClock)));
  EXPECT_TRUE(IsSameObject(clock.Get(), rendererClock.Get()));
  EXPECT_TRUE(boxes.empty());
}

// The graph's own state, as the renderers and clock see it.
OAFilterState GraphState(TCOMPlay& e) {
  OAFilterState state = -1;
  if (!e.MediaControl || FAILED(e.MediaControl->GetState(5000, &state))) return -1;
  return state;
}

TEST_F(EnginePlaybackTest, rendererChanges_keepTheStateAndThePlaceWhilePausedAndRunning) {
  KV_REQUIRE_PULSE();
  auto e = PlayerEngine();
  e->OpenVideo(kMedia + "avi_mpeg4_mp3.avi");
  ASSERT_EQ(e->State, psOpened);
  ASSERT_GE(e->AudioRendererNames.size(), 2u);
  e->Play();
  // Well into the 2 s clip, but before its end (the limit only guards against a hang).
  for (int i = 0; i < 400 && e->GetPosition() < 600; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  e->Pause();
  ASSERT_EQ(GraphState(*e), State_Paused);
  const int32_t paused = e->GetPosition();
  ASSERT_LT(paused, 1500);

  e->ChangeVideoRenderer("Overlay mixer");
  EXPECT_TRUE(InGraph(*e, "Overlay mixer"));
  EXPECT_EQ(e->State, psPaused);
  EXPECT_EQ(GraphState(*e), State_Paused) << "a video renderer change while paused left the graph stopped";
  EXPECT_NEAR(e->GetPosition(), paused, 500) << "the picture stays at the paused place (to a key frame)";

  const std::string other = e->AudioRendererNames.back();
  ASSERT_NE(other, e->AudioRendererName);
  e->ChangeAudioRenderer(other);
  EXPECT_TRUE(InGraph(*e, "Audio renderer"));
  EXPECT_EQ(e->ActiveAudioRenderer, other);
  EXPECT_EQ(e->State, psPaused);
  EXPECT_EQ(GraphState(*e), State_Paused) << "an audio renderer change while paused stopped playback";
  EXPECT_NEAR(e->GetPosition(), paused, 500);

  // Running: the graph runs on after each change.
  e->Play();
  e->ChangeVideoRenderer("Video Renderer");
  EXPECT_EQ(GraphState(*e), State_Running);
  e->ChangeAudioRenderer(e->AudioRendererNames.front());
  EXPECT_EQ(GraphState(*e), State_Running);
  ASSERT_TRUE(RunToEnd(*e)) << "playback reaches the end after the changes";
  EXPECT_TRUE(boxes.empty());
}

TEST_F(EnginePlaybackTest, withoutSoundServer_playsThePictureAlone) {
  const char* saved = std::getenv("PULSE_SERVER");
  std::string restore = saved ? saved : "";
  setenv("PULSE_SERVER", "unix:/nonexistent/kavello/pulse/native", 1);
  auto e = PlayerEngine();
  EXPECT_TRUE(e->AudioRendererNames.empty());
  EXPECT_EQ(e->AudioRendererName, "");
  e->OpenVideo(kMedia + "avi_mpeg4_mp3.avi");
  if (saved) setenv("PULSE_SERVER", restore.c_str(), 1);
  else unsetenv("PULSE_SERVER");
  ASSERT_EQ(e->State, psOpened);
  EXPECT_EQ(e->FileName, kMedia + "avi_mpeg4_mp3.avi");
  EXPECT_TRUE(InGraph(*e, "Video Renderer"));
  EXPECT_FALSE(InGraph(*e, "Kavello Audio Decoder"));
  EXPECT_EQ(e->AudioStreams, std::vector<std::string>{"Audio"});
  EXPECT_NE(Log().find("Cannot initialize audio renderer , playing without sound"), std::string::npos);
  ASSERT_TRUE(RunToEnd(*e));
  EXPECT_EQ(e->State, psPaused);
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace kv
