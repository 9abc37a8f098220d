// The real main window in a private user environment, for the menu and properties tests.
//
// Each suite gets a temporary folder with its own XDG_CONFIG_HOME / XDG_DATA_HOME /
// XDG_RUNTIME_DIR (other engineers run the same tests on this machine at the same time),
// settings written as the registry file the program reads, media generated with the ffmpeg
// tool, and optionally a private PulseAudio server with null sinks so that the audio chain
// is built as on a desktop.
#pragma once

#include <QApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../audio/pulse_test_server.h"
#include "app/mainform.h"
#include "platform/module/program_directory.h"
#include "platform/ui/messagebox.h"

namespace kv::test {

namespace fs = std::filesystem;

class PlayerWindowFixture : public ::testing::Test {
 protected:
  // Registry lines added under the program's key (after its header line).
  static void SetUpEnvironment(const std::string& extraRegistry, bool withSound) {
    char tmpl[] = "/tmp/kavello-window-XXXXXX";
    root_ = mkdtemp(tmpl);
    fs::create_directories(root_ / "config/kavello");
    fs::create_directories(root_ / "media");
    fs::create_directories(root_ / "runtime");
    fs::permissions(root_ / "runtime", fs::perms::owner_all);
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), 1);
    setenv("HOME", root_.c_str(), 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    WriteSettings(extraRegistry);
    if (withSound) {
      if (!TPulseTestServer::Instance().Start())
        std::fprintf(stderr, "no sound server: %s\n", TPulseTestServer::Instance().Error().c_str());
    } else {
      setenv("PULSE_SERVER", "unix:/nonexistent", 1);  // picture only
    }
    SetProgramDirectoryForTesting(KAVELLO_PROGRAM_DIR);
    static int argc = 1;
    static char arg0[] = "player_window_test";
    static char* argv[] = {arg0, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
  static void TearDownEnvironment() {
    TPulseTestServer::Instance().Stop();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  static void WriteSettings(const std::string& extraRegistry) {
    std::ofstream(root_ / "config/kavello/user.reg")
        << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"
        << "\"Version\"=\"2.3.0.0\"\r\n\"MultipleInst\"=dword:00000001\r\n"
        << extraRegistry;
  }

  // Makes media/name with the ffmpeg tool and the given arguments (inputs and codecs).
  static void MakeMedia(const std::string& name, const std::string& arguments) {
    const std::string cmd = "ffmpeg -nostdin -loglevel error -y " + arguments + " '" + Media(name) + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }
  static std::string Media(const std::string& name) { return (root_ / "media" / name).string(); }

  void SetUp() override {
    messages_.clear();
    previous_ = ui::SetMessageBoxHandler(
        [](const std::string& text, const std::string&) { messages_.push_back(text); });
    form_ = std::make_unique<TMainForm>(std::vector<std::string>{}, root_.string());
    ASSERT_TRUE(form_->ShowMainForm());
    form_->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    form_->close();
    form_.reset();
    ui::SetMessageBoxHandler(previous_);
  }

  // Runs the event loop until `done` holds or the limit passes (the limit only guards
  // against a hang; a loaded machine may be slow).
  template <class F>
  static bool RunUntil(F done, int limitMs = 30000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < limitMs) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
  }

  static inline fs::path root_;
  static inline std::vector<std::string> messages_;
  ui::MessageBoxHandler previous_;
  std::unique_ptr<TMainForm> form_;
};

}  // namespace kv::test
