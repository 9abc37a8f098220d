// The engine rebuilding its plug-in chains in an open graph: running, paused, nothing open,
// a plug-in that is not installed and one that cannot connect, with real renderers and the
// shipped effects (sound through the private PulseAudio server of tests/audio).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "../audio/pulse_test_server.h"
#include "debugsup/debugsup.h"
#include "effect_harness.h"
#include "engine/contrl.h"
#include "filters/effects/effect_settings.h"
#include "filters/builtin/builtin_filters.h"
#include "platform/graph/renderer_base.h"
#include "platform/ui/messagebox.h"

namespace kv {
namespace {

[[maybe_unused]] auto* const PulseEnvironment = ::testing::AddGlobalTestEnvironment(new test::TPulseEnvironment);

namespace fs = std::filesystem;

TFiltersInChain Chain(std::initializer_list<std::pair<const char*, const char*>> slots) {
  TFiltersInChain chain{};
  int k = 0;
  for (auto [file, name] : slots) chain[k++] = {file, name, false};
  return chain;
}

class RerenderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    clip_ = (fs::path(::testing::TempDir()) / ("kv_rerender_" + std::to_string(::getpid()) + ".avi")).string();
    const std::string cmd =
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi "
        "-i sine=frequency=440:sample_rate=44100 -t 12 -c:v mpeg4 -q:v 5 -c:a pcm_s16le '" + clip_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  static void TearDownTestSuite() { fs::remove(clip_); }

  void SetUp() override {
    CoInitialize();
    RegisterBuiltinFilters(true);
    ASSERT_TRUE(test::LoadShippedEffects());
    ui::SetMessageBoxHandler([this](const std::string& text, const std::string&) { boxes.push_back(text); });
    log_ = ::testing::TempDir() + "kv_rerender_" + std::to_string(::getpid()) + ".log";
    std::remove(log_.c_str());
    Debug.SetFileName(log_);
    Debug.Enabled = true;
  }
  void TearDown() override {
    Debug.Enabled = false;
    if (HasFailure()) {
      std::ifstream in(log_);
      std::cerr << "---- debug log\n" << in.rdbuf();
    }
    std::remove(log_.c_str());
    ui::SetMessageBoxHandler({});
  }

  std::unique_ptr<TCOMPlay> Open() {
    auto e = std::make_unique<TCOMPlay>(nullptr, KAVELLO_PROGRAM_DIR);
    e->UseClock = true;
    e->OpenVideo(clip_);
    EXPECT_EQ(e->State, psOpened);
    return e;
  }
  static bool InGraph(TCOMPlay& e, const std::string& name) {
    for (const auto& n : e.FilterNames())
      if (n == name) return true;
    return false;
  }
  // Whether the filter's output is connected (it is part of the chain, not just in the graph).
  static bool Chained(IBaseFilter* filter) {
    ComPtr<IPin> out = TCOMPlay::FindPin(filter, PINDIR_OUTPUT, 0), peer;
    return out && out->ConnectedTo(peer.Put()) == S_OK;
  }
  static REFERENCE_TIME Presented(TCOMPlay& e) {
    OAFilterState state = 0;
    e.MediaControl->GetState(10000, &state);
    ComPtr<IRendererPosition> position;
    REFERENCE_TIME t = -1;
    if (SUCCEEDED(e.VideoRenderer->QueryInterface(IRendererPosition::kIid, position.PutVoid())))
      position->GetLastPresentedPosition(&t);
    return t;
  }

  static inline std::string clip_;
  std::string log_;
  std::vector<std::string> boxes;
};

// Waits until the position passes `above` (the clock may wait for the sound server before it
// runs; a loaded machine can take seconds): the tests look for progress, never time it.
bool PlaysPast(TCOMPlay& e, int32_t above) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (e.GetPosition() <= above && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return e.GetPosition() > above;
}

TEST_F(RerenderTest, NothingOpen_onlyStoresTheChain) {
  TCOMPlay e(nullptr, KAVELLO_PROGRAM_DIR);
  auto chain = Chain({{"Kavello Picture", "Kavello Picture"}});
  e.RerenderVideo(chain);
  e.RerenderAudio(chain);
  EXPECT_EQ(e.VideoFilterChain[0].Name, "Kavello Picture");
  EXPECT_EQ(e.AudioFilterChain[0].Name, "Kavello Picture");
  EXPECT_TRUE(e.FilterNames().empty());
  EXPECT_TRUE(boxes.empty());
}

TEST_F(RerenderTest, WhileRunning_chainsThePlugins_andPlaysOnFromWhereItWas) {
  KV_REQUIRE_PULSE();
  auto e = Open();
  e->Play();
  ASSERT_TRUE(PlaysPast(*e, 500));  // let playback get somewhere
  const int32_t before = e->GetPosition();
  e->RerenderVideo(Chain({{"Kavello Picture", "Kavello Picture"}, {"Kavello Denoise", "Kavello Denoise"}}));
  e->RerenderAudio(Chain({{"Kavello Equalizer", "Kavello Equalizer"}}));
  EXPECT_EQ(e->State, psRunning);
  const int32_t after = e->GetPosition();
  EXPECT_GE(after, before - 40);
  EXPECT_LT(after, before + 2000);  // no jump back to the start, no skip ahead
  for (const char* name : {"Kavello Picture", "Kavello Denoise", "Kavello Equalizer"}) EXPECT_TRUE(InGraph(*e, name));
  EXPECT_TRUE(Chained(e->VideoPlugins[0].Get()));
  EXPECT_TRUE(Chained(e->VideoPlugins[1].Get()));
  EXPECT_TRUE(Chained(e->AudioPlugins[0].Get()));
  EXPECT_TRUE(PlaysPast(*e, after + 300)) << "playback goes on through the new chain";
  // Taking them out again leaves the plain chain.
  e->RerenderVideo(TFiltersInChain{});
  e->RerenderAudio(TFiltersInChain{});
  EXPECT_FALSE(InGraph(*e, "Kavello Picture"));
  EXPECT_FALSE(InGraph(*e, "Kavello Equalizer"));
  EXPECT_EQ(e->State, psRunning);
  EXPECT_TRUE(boxes.empty()) << boxes.front();
}

// Mean absolute difference of two captured pictures (same size), in levels.
double Difference(const std::string& a, const std::string& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  std::vector<char> da((std::istreambuf_iterator<char>(fa)), {}), db((std::istreambuf_iterator<char>(fb)), {});
  if (da.size() != db.size() || da.size() < 100) return 1e9;
  double sum = 0;
  for (size_t i = 54; i < da.size(); ++i) sum += std::abs(int(uint8_t(da[i])) - int(uint8_t(db[i])));
  return sum / double(da.size() - 54);
}

TEST_F(RerenderTest, WhilePaused_showsTheSameFrameAgain) {
  KV_REQUIRE_PULSE();
  // A quarter turn set to none: the plug-in passes the picture unchanged.
  ComPtr<IBaseFilter> rotate = test::CreateByName("Kavello Rotate");
  ComPtr<effects::IKavelloEffect> settings;
  ASSERT_TRUE(SUCCEEDED(rotate->QueryInterface(effects::IKavelloEffect::kIid, settings.PutVoid())));
  settings->SetValues({0});
  settings->SaveValues();  // what the page's OK does: the rebuilt chain starts from it
  auto e = Open();
  e->Play();
  ASSERT_TRUE(PlaysPast(*e, 1000));
  ASSERT_TRUE(e->Pause());
  Presented(*e);
  const int32_t position = e->GetPosition();
  // On a loaded machine the picture paused from playing may lag the clock's position; a
  // paused seek to that position shows the picture that belongs to it (and which the frame
  // grabber holds), so that the rerendered one can be compared exactly.
  e->SetPositionExact(position);
  Presented(*e);
  const std::string before = log_ + ".before.bmp", after = log_ + ".after.bmp", later = log_ + ".later.bmp";
  ASSERT_TRUE(e->GrabFrame(before));
  e->RerenderVideo(Chain({{"Kavello Rotate", "Kavello Rotate"}}));
  EXPECT_EQ(e->State, psPaused);
  EXPECT_NEAR(e->GetPosition(), position, 40);
  Presented(*e);
  ASSERT_TRUE(Chained(e->VideoPlugins[0].Get()));
  ASSERT_TRUE(e->GrabFrame(after)) << "a picture came through the new chain while paused";
  // The picture shown again is the paused one: far nearer to it than one 2 s on.
  e->SetPosition(position + 2000);
  Presented(*e);
  ASSERT_TRUE(e->GrabFrame(later));
  const double same = Difference(before, after), other = Difference(before, later);
  EXPECT_LT(same, other / 8) << "paused vs rerendered " << same << ", vs 2 s later " << other;
  for (const auto& f : {before, after, later}) std::remove(f.c_str());
  settings->SetValues({1});
  settings->SaveValues();
}

// The reader starts at the key frame before a target (every 12th picture of this clip: 0,
// 0.48, 0.96 s...). An exact paused seek shows the picture at the target: two targets one
// picture apart in the same group show two pictures, the same target twice the same picture
// (the frame grabber holds what the paused renderer shows). A key-frame seek shows its key
// frame and reads its time: picture and position agree.
TEST_F(RerenderTest, PausedSeek_exactShowsThePictureAtTheTarget_keyFrameShowsAndReadsItsKeyFrame_throughAPlugin) {
  KV_REQUIRE_PULSE();
  auto e = Open();
  e->RerenderVideo(Chain({{"Kavello Sharpen", "Kavello Sharpen"}}));  // a picture of its own, no memory
  e->Play();
  ASSERT_TRUE(PlaysPast(*e, 200));
  ASSERT_TRUE(e->Pause());
  const std::string a = log_ + ".a.bmp", b = log_ + ".b.bmp", again = log_ + ".again.bmp";
  const std::string key = log_ + ".key.bmp", keyExact = log_ + ".keyexact.bmp";
  auto seekAndGrab = [&](int32_t ms, bool exact, int32_t expected, const std::string& path) {
    if (exact) e->SetPositionExact(ms);
    else e->SetPosition(ms);
    Presented(*e);  // waits for the pause to complete
    EXPECT_EQ(e->State, psPaused);
    EXPECT_NEAR(e->GetPosition(), expected, 1);
    return e->GrabFrame(path);
  };
  ASSERT_TRUE(seekAndGrab(1100, true, 1100, a));
  ASSERT_TRUE(seekAndGrab(1140, true, 1140, b));
  ASSERT_TRUE(seekAndGrab(1100, true, 1100, again));
  ASSERT_TRUE(seekAndGrab(1100, false, 960, key));
  ASSERT_TRUE(seekAndGrab(960, true, 960, keyExact));
  const double neighbours = Difference(a, b), same = Difference(a, again);
  EXPECT_GT(neighbours, 1.0) << "1.10 s and 1.14 s showed the same picture (their key frame?)";
  EXPECT_LT(same, neighbours / 4) << "1.10 s twice: " << same << ", 1.10 vs 1.14 s: " << neighbours;
  const double keyFrame = Difference(key, keyExact), keyVsTarget = Difference(key, a);
  EXPECT_LT(keyFrame, keyVsTarget / 4) << "key-frame seek to 1.10 s vs 0.96 s: " << keyFrame << ", vs 1.10 s: "
                                       << keyVsTarget;
  for (const auto& f : {a, b, again, key, keyExact}) std::remove(f.c_str());
}

TEST_F(RerenderTest, MissingPlugin_isReportedAndSkipped_incompatibleOneIsLeftOut_playbackGoesOn) {
  KV_REQUIRE_PULSE();
  ComPtr<effects::IKavelloEffect> rotate;
  ASSERT_TRUE(SUCCEEDED(test::CreateByName("Kavello Rotate")->QueryInterface(effects::IKavelloEffect::kIid,
                                                                             rotate.PutVoid())));
  rotate->SetValues({1});  // a quarter turn clockwise
  rotate->SaveValues();
  auto e = Open();
  e->Play();
  e->RerenderVideo(Chain({{"Kavello Picture", "Kavello Picture"},
                          {"Ghost", "Kavello Ghost"},
                          {"Kavello Volume", "Kavello Volume"},  // a sound effect in the picture's chain
                          {"Kavello Rotate", "Kavello Rotate"}}));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Filter \"Kavello Ghost\" not found, skipping");
  EXPECT_EQ(e->State, psRunning);
  EXPECT_TRUE(e->VideoPlugins[0] && Chained(e->VideoPlugins[0].Get()));
  EXPECT_FALSE(e->VideoPlugins[1]);
  EXPECT_FALSE(e->VideoPlugins[2] && Chained(e->VideoPlugins[2].Get()));
  EXPECT_TRUE(e->VideoPlugins[3] && Chained(e->VideoPlugins[3].Get()));
  // The rotated picture is what the renderer was told.
  EXPECT_EQ(e->DisplayWidth, 240);
  EXPECT_EQ(e->DisplayHeight, 320);
  const int32_t p = e->GetPosition();
  EXPECT_TRUE(PlaysPast(*e, p));
  // Removing the offending slots recovers the plain picture.
  e->RerenderVideo(Chain({{"Kavello Picture", "Kavello Picture"}}));
  EXPECT_EQ(e->DisplayWidth, 320);
  EXPECT_FALSE(InGraph(*e, "Kavello Volume"));
  EXPECT_EQ(e->State, psRunning);
}

}  // namespace
}  // namespace kv
