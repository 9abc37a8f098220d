// The fixtures of the main-window tests: the real main window, offscreen, with private
// settings, data and runtime folders, and the media a suite needs.
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

#include "app/mainform.h"
#include "platform/module/program_directory.h"
#include "platform/ui/messagebox.h"

namespace kv {

namespace fs = std::filesystem;

// The real main window, offscreen, in a private home: settings past the first start (plus
// what a suite adds), no sound server, no session bus. A suite makes its home and media in
// its SetUpTestSuite, then starts the application; each test gets a fresh window.
class MainWindowHarness : public ::testing::Test {
 protected:
  // A fresh home under /tmp named after `prefix`; `registry` is appended to user.reg (whole
  // key blocks, "\r\n" line ends).
  static void MakeHome(const char* prefix, const std::string& registry = {}) {
    std::string tmpl = std::string("/tmp/") + prefix + "-XXXXXX";
    root_ = mkdtemp(tmpl.data());
    fs::create_directories(root_ / "config/kavello");
    fs::create_directories(root_ / "media");
    fs::create_directories(root_ / "runtime");
    fs::permissions(root_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), 1);
    setenv("HOME", root_.c_str(), 1);
    setenv("PULSE_SERVER", "unix:/nonexistent", 1);  // no sound here: picture only
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    WriteSettings({}, registry);
  }
  // user.reg afresh: the program's key with the settings of a past first start, then
  // `values` (lines under that key) and `keyBlocks` (whole key blocks); "\r\n" line ends.
  static void WriteSettings(const std::string& values, const std::string& keyBlocks = {}) {
    std::ofstream(root_ / "config/kavello/user.reg")
        << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"
        << "\"Version\"=\"2.3.0.0\"\r\n\"MultipleInst\"=dword:00000001\r\n"
        << values << (keyBlocks.empty() ? "" : "\r\n") << keyBlocks;
  }
  static void StartApplication() {
    SetProgramDirectoryForTesting(KAVELLO_PROGRAM_DIR);
    static int argc = 1;
    static char arg0[] = "mainform_test";
    static char* argv[] = {arg0, nullptr};
    if (!QApplication::instance()) app_ = new QApplication(argc, argv);
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // Each test gets a fresh window; a suite that opens it itself (after choosing settings or
  // a program folder) overrides SetUp with RecordMessages alone and calls OpenWindow.
  void SetUp() override {
    RecordMessages();
    OpenWindow();
  }
  void TearDown() override {
    if (form_) form_->close();
    form_.reset();
    ui::SetMessageBoxHandler(previous_);
  }
  void RecordMessages() {
    messages_.clear();
    previous_ = ui::SetMessageBoxHandler(
        [](const std::string& text, const std::string&) { messages_.push_back(text); });
  }
  void OpenWindow() {
    form_ = std::make_unique<TMainForm>(std::vector<std::string>{}, root_.string());
    ASSERT_TRUE(form_->ShowMainForm());
    form_->show();
    QApplication::processEvents();
  }

  std::string Media(const char* name) { return (root_ / "media" / name).string(); }

  // Runs the event loop until `done` holds or the limit passes (the clock of the clip, not
  // of the machine, decides when playback ends; the limit only guards against a hang).
  template <class F>
  static bool RunUntil(F done, int limitMs = 30000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < limitMs) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
  }

  static inline fs::path root_;
  static inline QApplication* app_ = nullptr;
  static inline std::vector<std::string> messages_;
  ui::MessageBoxHandler previous_;
  std::unique_ptr<TMainForm> form_;
};

// The main-window suites of the app tests: two playable AVI files, a broken one, a subtitle
// file beside them and a picture larger than the offscreen screen.
class MainFormTest : public MainWindowHarness {
 protected:
  static void SetUpTestSuite() {
    MakeHome("kavello-mainform");
    const fs::path m = root_ / "media";
    for (const char* name : {"a.avi", "c.avi"}) {
      std::string cmd = "ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 -t 2 -c:v mpeg4 -q:v 5 '" +
                        (m / name).string() + "'";
      ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    // Larger than the offscreen screen (800x600).
    std::string big = "ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=25 -t 1 -c:v mpeg4 -q:v 8 '" +
                      (m / "big.avi").string() + "'";
    ASSERT_EQ(std::system(big.c_str()), 0);
    std::ofstream(m / "b.avi") << "RIFF broken";
    std::ofstream(m / "a.srt") << "1\n00:00:01,000 --> 00:00:02,000\nHello\n";
    std::ofstream(m / "music.mp3") << "not really";
    StartApplication();
  }
};

}  // namespace kv
