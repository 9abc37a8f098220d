// The real main window with sound, for the menu and properties tests: the shared main-window
// harness plus a private PulseAudio server with null sinks, so that the audio chain is built
// as on a desktop, and media made with the ffmpeg tool.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "../audio/pulse_test_server.h"
#include "mainform_fixture.h"

namespace kv::test {

class PlayerWindowFixture : public MainWindowHarness {
 protected:
  static void SetUpEnvironment() {
    MakeHome("kavello-window");
    unsetenv("PULSE_SERVER");
    if (!TPulseTestServer::Instance().Start())
      std::fprintf(stderr, "no sound server: %s\n", TPulseTestServer::Instance().Error().c_str());
    StartApplication();
  }
  static void TearDownEnvironment() {
    TPulseTestServer::Instance().Stop();
    TearDownTestSuite();
  }

  // Makes media/name with the ffmpeg tool and the given arguments (inputs and codecs).
  static void MakeMedia(const std::string& name, const std::string& arguments) {
    const std::string cmd = "ffmpeg -nostdin -loglevel error -y " + arguments + " '" + Media(name) + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }
  static std::string Media(const std::string& name) { return (root_ / "media" / name).string(); }
};

}  // namespace kv::test
