// The main window's mixer connects to the sound server off the window's thread: the OSD's
// volume bar gets the master volume once it is there, a volume set through MPRIS reaches the
// server, and a server that never answers ends in no mixer, no message and a window that
// still closes, also while the connection is pending (the real window offscreen; a private
// PulseAudio server, or a socket that accepts and stays silent).
#include <QApplication>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "app/mpris.h"
#include "mixer/audio_mixer.h"
#include "osd/osdunit.h"
#include "player_window_fixture.h"
#include "settings/optunit.h"

namespace kv::test {
namespace {

class MixerWindowTest : public PlayerWindowFixture {
 protected:
  static void SetUpTestSuite() { SetUpEnvironment(); }
  static void TearDownTestSuite() { TearDownEnvironment(); }
  void SetUp() override { RecordMessages(); }  // each test opens its window
};

TEST_F(MixerWindowTest, TheVolumeBarGetsTheMasterVolumeOnceConnected_andAnMprisVolumeReachesTheServer) {
  KV_REQUIRE_PULSE();
  auto& server = TPulseTestServer::Instance();
  server.Pactl("set-sink-volume @DEFAULT_SINK@ 50%");
  OpenWindow();
  ASSERT_TRUE(RunUntil([&] { return form_->AudioMixer != nullptr; }));
  EXPECT_NEAR(Options->Volume, 32768, 2);
  EXPECT_EQ(OnScreen->BarValue(1), 32) << "the OSD's bar (0..63) shows the server's master volume";
  auto* mpris = form_->findChild<MprisPlayerAdaptor*>();
  ASSERT_NE(mpris, nullptr);
  ASSERT_TRUE(mpris->setProperty("Volume", 0.25));
  EXPECT_NEAR(mpris->property("Volume").toDouble(), 0.25, 0.01) << "read back on the scale it was set on";
  EXPECT_TRUE(RunUntil([&] { return server.Pactl("get-sink-volume @DEFAULT_SINK@").find(" 25%") != std::string::npos; },
                       5000))
      << server.Pactl("get-sink-volume @DEFAULT_SINK@");
}

TEST_F(MixerWindowTest, AServerThatNeverAnswersHoldsNothingUp) {
  // A socket that accepts connections and never says a word.
  const std::string path = (root_ / "runtime/silent").string();
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(fd, 8), 0);
  const char* before = std::getenv("PULSE_SERVER");
  const std::string kept = before ? before : "";
  setenv("PULSE_SERVER", ("unix:" + path).c_str(), 1);
  OpenWindow();
  ASSERT_TRUE(form_->isVisible());
  // It gives up in the end: no mixer device, the volume bar stays off, nothing reported.
  EXPECT_TRUE(RunUntil([&] { return form_->AudioMixer != nullptr; }, 30000));
  if (form_->AudioMixer) {
    EXPECT_TRUE(form_->AudioMixer->Destinations().empty());
  }
  EXPECT_TRUE(messages_.empty());
  // A window closed while its mixer is still connecting closes (the connection is waited for).
  form_->close();
  form_.reset();
  OpenWindow();
  form_->close();
  form_.reset();
  close(fd);
  if (before) setenv("PULSE_SERVER", kept.c_str(), 1);
  else unsetenv("PULSE_SERVER");
}

}  // namespace
}  // namespace kv::test
