// TAudioMixer on a private PulseAudio server (sinks kv_null_b = default, kv_null_a).
#include <condition_variable>
#include <mutex>
#include <regex>
#include <vector>

#include <gtest/gtest.h>

#include "mixer/audio_mixer.h"
#include "platform/audio/pulse_connection.h"
#include "platform/audio/pulse_stream.h"
#include "pulse_test_server.h"

namespace kv {
namespace {

using kv::test::TPulseTestServer;

[[maybe_unused]] auto* const PulseEnvironment =
    ::testing::AddGlobalTestEnvironment(new kv::test::TPulseEnvironment);

// The mixer tests need the private server the environment starts: a server that cannot
// start is a failure here, never a silent skip.
#define REQUIRE_SERVER()                                                          \
  ASSERT_TRUE(TPulseTestServer::Instance().Running())                             \
      << "the private PulseAudio server did not start: " << TPulseTestServer::Instance().Error()

std::string Pactl(const std::string& args) {
  bool ok = false;
  std::string out = TPulseTestServer::Instance().Pactl(args, &ok);
  EXPECT_TRUE(ok) << "pactl " << args << ": " << out;
  return out;
}

// Raw first-channel values of "pactl get-sink-volume": "Volume: front-left: 32768 / 50% ...".
std::vector<long> PactlSinkVolume(const std::string& sink) {
  std::string text = Pactl("get-sink-volume " + sink);
  std::vector<long> values;
  std::regex channel(R"(: (\d+) /)");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), channel); it != std::sregex_iterator(); ++it)
    values.push_back(std::stol((*it)[1]));
  return values;
}

TEST(AudioMixerScale, ConvertsBetweenMixerAndServerVolumes) {
  EXPECT_EQ(TAudioMixer::ToServerVolume(0), 0u);
  EXPECT_EQ(TAudioMixer::ToServerVolume(65535), audio::KVolumeNorm);
  EXPECT_EQ(TAudioMixer::ToServerVolume(32767), 32767u);
  EXPECT_EQ(TAudioMixer::ToServerVolume(32768), 32769u);
  EXPECT_EQ(TAudioMixer::FromServerVolume(0), 0);
  EXPECT_EQ(TAudioMixer::FromServerVolume(audio::KVolumeNorm), 65535);
  // Every mixer level survives the trip to the server and back (the slider never drifts).
  for (int v : {1, 255, 256, 6553, 32767, 32768, 65534}) EXPECT_EQ(TAudioMixer::FromServerVolume(TAudioMixer::ToServerVolume(v)), v);
  EXPECT_EQ(TAudioMixer::ToServerVolume(-5), 0u);
  EXPECT_EQ(TAudioMixer::ToServerVolume(70000), audio::KVolumeNorm);
  EXPECT_EQ(TAudioMixer::FromServerVolume(audio::KVolumeNorm * 3 / 2), 65535);  // over 100 %
}

TEST(AudioMixer, WithoutServer_hasNoMixerAndRefusesVolumeCalls) {
  TAudioMixer mixer(nullptr);
  EXPECT_EQ(mixer.MixerCount(), 0);
  EXPECT_EQ(mixer.MixerId(), -1);
  EXPECT_TRUE(mixer.Destinations().empty());
  TMixerVolume volume;
  EXPECT_FALSE(mixer.GetVolume(0, -1, volume));
  EXPECT_EQ(volume.Left, -1);
  EXPECT_TRUE(volume.VolumeDisabled);
  EXPECT_FALSE(mixer.SetVolume(0, -1, 1000, -1, -1));
  mixer.SetMixerId(0);
  EXPECT_EQ(mixer.MixerId(), -1);
}

TEST(AudioMixer, Destinations_defaultSinkFirst_withVolumeAndMuteControls) {
  REQUIRE_SERVER();
  TAudioMixer mixer(audio::TPulseConnection::Open());
  ASSERT_EQ(mixer.MixerId(), 0);
  EXPECT_EQ(mixer.NumberOfLine(), 2u);
  EXPECT_FALSE(mixer.ProductName().empty());
  EXPECT_NE(mixer.DriverVersion(), 0u);
  TMixerDestinations lines = mixer.Destinations();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].Name, "KavelloNullB");
  EXPECT_EQ(lines[1].Name, "KavelloNullA");
  EXPECT_EQ(lines[0].Channels, 2u);
  ASSERT_EQ(lines[0].Controls.size(), 2u);
  EXPECT_EQ(lines[0].Controls[0].ControlType, MIXERCONTROL_CONTROLTYPE_VOLUME);
  EXPECT_EQ(lines[0].Controls[1].ControlType, MIXERCONTROL_CONTROLTYPE_MUTE);
  EXPECT_NE(lines[0].LineId, lines[1].LineId);
  EXPECT_FALSE(mixer.SetVolume(2, -1, 0, -1, -1));
  EXPECT_FALSE(mixer.SetVolume(0, 0, 0, -1, -1));  // no stream plays yet
}

TEST(AudioMixer, GetVolume_readsMasterSetWithPactl_stereoAndMute) {
  REQUIRE_SERVER();
  TAudioMixer mixer(audio::TPulseConnection::Open());
  Pactl("set-sink-volume kv_null_b 16384 49152");
  Pactl("set-sink-mute kv_null_b 1");
  TMixerVolume volume;
  ASSERT_TRUE(mixer.GetVolume(0, -1, volume));
  EXPECT_EQ(volume.Left, TAudioMixer::FromServerVolume(16384));
  EXPECT_EQ(volume.Right, TAudioMixer::FromServerVolume(49152));
  EXPECT_TRUE(volume.Stereo);
  EXPECT_EQ(volume.Mute, 1);
  EXPECT_FALSE(volume.VolumeDisabled);
  EXPECT_FALSE(volume.MuteDisabled);
}

TEST(AudioMixer, SetVolume_minusOneConventions) {
  REQUIRE_SERVER();
  TAudioMixer mixer(audio::TPulseConnection::Open());
  Pactl("set-sink-mute kv_null_b 0");
  // right -1: both channels take left.
  ASSERT_TRUE(mixer.SetVolume(0, -1, 32768, -1, -1));
  EXPECT_EQ(PactlSinkVolume("kv_null_b"), (std::vector<long>{32769, 32769}));
  // left -1 leaves the volume; mute 1 mutes.
  ASSERT_TRUE(mixer.SetVolume(0, -1, -1, 1000, 1));
  EXPECT_EQ(PactlSinkVolume("kv_null_b"), (std::vector<long>{32769, 32769}));
  EXPECT_NE(Pactl("get-sink-mute kv_null_b").find("yes"), std::string::npos);
  // mute -1 leaves the mute state; distinct channels.
  ASSERT_TRUE(mixer.SetVolume(0, -1, 0, 65535, -1));
  EXPECT_EQ(PactlSinkVolume("kv_null_b"), (std::vector<long>{0, 65536}));
  EXPECT_NE(Pactl("get-sink-mute kv_null_b").find("yes"), std::string::npos);
  // The second destination is its own line.
  ASSERT_TRUE(mixer.SetVolume(1, -1, 6553, -1, 0));
  EXPECT_EQ(PactlSinkVolume("kv_null_a"), (std::vector<long>{6553, 6553}));
}

TEST(AudioMixer, MonoDestination_reportsEqualChannelsNotStereo) {
  REQUIRE_SERVER();
  std::string module = Pactl("load-module module-null-sink sink_name=kv_mono channels=1 "
                             "sink_properties=device.description=KavelloMono");
  TAudioMixer mixer(audio::TPulseConnection::Open());
  TMixerDestinations lines = mixer.Destinations();
  int mono = -1;
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].Name == "KavelloMono") mono = static_cast<int>(i);
  ASSERT_GE(mono, 0);
  EXPECT_EQ(lines[mono].Controls[0].ControlFlags & MIXERCONTROL_CONTROLF_UNIFORM, MIXERCONTROL_CONTROLF_UNIFORM);
  ASSERT_TRUE(mixer.SetVolume(mono, -1, 20000, 40000, -1));
  TMixerVolume volume;
  ASSERT_TRUE(mixer.GetVolume(mono, -1, volume));
  EXPECT_FALSE(volume.Stereo);
  EXPECT_EQ(volume.Left, 20000);
  EXPECT_EQ(volume.Right, 20000);
  Pactl("unload-module " + std::to_string(std::stoi(module)));
}

TEST(AudioMixer, Connections_arePlayingStreams_withTheirOwnVolume) {
  REQUIRE_SERVER();
  auto connection = audio::TPulseConnection::Open();
  ASSERT_NE(connection, nullptr);
  TAudioMixer mixer(connection);
  std::mutex mutex;  // guards lineChanges
  std::condition_variable changed;
  int lineChanges = 0;
  mixer.OnLineChange = [&](uint32_t) {
    std::lock_guard<std::mutex> lock(mutex);
    ++lineChanges;
    changed.notify_all();
  };
  auto stream = audio::TPulseStream::Open(connection, audio::TPcmFormat{}, {});
  ASSERT_NE(stream, nullptr);
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return lineChanges > 0; }));
  }
  TMixerDestinations lines = mixer.Destinations();
  ASSERT_EQ(lines[0].Connections.size(), 1u);
  EXPECT_EQ(lines[0].Connections[0].ServerIndex, stream->SinkInputIndex());
  ASSERT_TRUE(mixer.SetVolume(0, 0, 32768, -1, 1));
  TMixerVolume volume;
  ASSERT_TRUE(mixer.GetVolume(0, 0, volume));
  EXPECT_EQ(volume.Left, 32768);
  EXPECT_EQ(volume.Mute, 1);
  mixer.OnLineChange = nullptr;
}

TEST(AudioMixer, OnControlChange_firesForVolumeChangedWithPactl) {
  REQUIRE_SERVER();
  TAudioMixer mixer(audio::TPulseConnection::Open());
  uint32_t volumeControl = mixer.Destinations().at(0).Controls.at(0).ControlId;
  std::mutex mutex;  // guards controls
  std::condition_variable changed;
  std::vector<uint32_t> controls;
  mixer.OnControlChange = [&](uint32_t control) {
    TMixerVolume volume;
    EXPECT_TRUE(mixer.GetVolume(0, -1, volume));  // re-reading from the handler is allowed
    std::lock_guard<std::mutex> lock(mutex);
    controls.push_back(control);
    changed.notify_all();
  };
  Pactl("set-sink-volume kv_null_b 12345");
  std::unique_lock<std::mutex> lock(mutex);
  EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] {
    return std::find(controls.begin(), controls.end(), volumeControl) != controls.end();
  }));
}

TEST(AudioMixer, ANewDefaultOutputBecomesTheMasterLine_andTheOwnerIsTold) {
  REQUIRE_SERVER();
  TAudioMixer mixer(audio::TPulseConnection::Open());
  ASSERT_EQ(mixer.Destinations().at(0).Name, "KavelloNullB");
  Pactl("set-sink-volume kv_null_a 20000");
  Pactl("set-sink-volume kv_null_b 50000");
  std::mutex mutex;  // guards lines, controls
  std::condition_variable changed;
  std::vector<uint32_t> lines, controls;
  mixer.OnLineChange = [&](uint32_t line) {
    std::lock_guard<std::mutex> lock(mutex);
    lines.push_back(line);
    changed.notify_all();
  };
  mixer.OnControlChange = [&](uint32_t control) {
    std::lock_guard<std::mutex> lock(mutex);
    controls.push_back(control);
    changed.notify_all();
  };
  Pactl("set-default-sink kv_null_a");
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return !lines.empty(); }))
        << "the switch of the default output was not reported";
  }
  // The owner is told of the new master line's volume control. The volume changes made just
  // before may be reported too, in any order, so the new control is looked for among them.
  // (The destinations are read outside the callbacks' lock: the mixer's thread takes it.)
  TMixerDestinations now;
  bool told = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!told && std::chrono::steady_clock::now() < deadline) {
    now = mixer.Destinations();
    std::unique_lock<std::mutex> lock(mutex);
    if (!now.empty() && now.at(0).Name == "KavelloNullA" && !now.at(0).Controls.empty())
      told = std::find(controls.begin(), controls.end(), now.at(0).Controls.at(0).ControlId) != controls.end();
    if (!told) changed.wait_for(lock, std::chrono::milliseconds(50));
  }
  ASSERT_FALSE(now.empty());
  EXPECT_EQ(now.at(0).Name, "KavelloNullA") << "the master line is still the old output";
  EXPECT_TRUE(told) << "the owner was not told of the new master line's volume control";
  TMixerVolume volume;
  ASSERT_TRUE(mixer.GetVolume(0, -1, volume));
  EXPECT_EQ(volume.Left, TAudioMixer::FromServerVolume(20000)) << "the volume bar reads the old output";
  ASSERT_TRUE(mixer.SetVolume(0, -1, 30000, -1, -1));
  EXPECT_NEAR(PactlSinkVolume("kv_null_a").at(0), 30000, 1) << "the volume bar sets the old output";
  EXPECT_NEAR(PactlSinkVolume("kv_null_b").at(0), 50000, 1);
  mixer.OnLineChange = nullptr;
  mixer.OnControlChange = nullptr;
  Pactl("set-default-sink kv_null_b");
}

}  // namespace
}  // namespace kv
