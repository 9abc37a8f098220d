// The player's side of the control panel, through the real main window and a recording
// panel library that the window loads as Components/CapPanel.so: the call order, the
// commands for a playing clip, the panel's requests, F8, and libraries that are missing or
// incomplete.
#include <dlfcn.h>

#include <QAction>
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/mainform_fixture.h"
#include "app/panel_bridge.h"
#include "platform/module/program_directory.h"
#include "platform/ui/messagebox.h"
#include "recording_panel.h"
#include "settings/optunit.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::TRecordedCall;

class PanelRecordingTest : public MainWindowHarness {
 protected:
  static void SetUpTestSuite() {
    MakeHome("kavello-panel");
    const std::string cmd =
        "ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 -t 4 -g 25 -c:v mpeg4 -q:v 5 '" +
        (root_ / "media/clip.avi").string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    // Program directories like the build's, each with its own panel library (one path per
    // library: the loader knows a library it holds by the path it was opened with) and no
    // About library.
    MakeProgram("recording", RECORDING_PANEL);
    MakeProgram("incomplete", INCOMPLETE_PANEL);
    MakeProgram("none", "");
    // The test's own hold on the library keeps its record across the player's unloads.
    recording_ = dlopen(RECORDING_PANEL, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(recording_, nullptr) << dlerror();
    calls_ = reinterpret_cast<test::TRecordedCallsFunction>(dlsym(recording_, "RecordedCalls"))();
    fire_ = reinterpret_cast<test::TFireRequestFunction>(dlsym(recording_, "FireRequest"));
    StartApplication();
  }

  static void MakeProgram(const std::string& name, const std::string& library) {
    const fs::path program = root_ / name;
    fs::create_directories(program / "Components");
    for (const auto& entry : fs::directory_iterator(KAVELLO_PROGRAM_DIR)) {
      const std::string file = entry.path().filename().string();
      if (file == "Components" || file == "tests") continue;
      fs::create_symlink(entry.path(), program / file);
    }
    if (fs::exists(fs::path(KAVELLO_PROGRAM_DIR) / "Components/Filters"))
      fs::create_directory_symlink(fs::path(KAVELLO_PROGRAM_DIR) / "Components/Filters", program / "Components/Filters");
    if (!library.empty()) fs::create_symlink(library, program / "Components/CapPanel.so");
  }

  void StartForm(const std::string& program = "recording") {
    WriteSettings({});
    SetProgramDirectoryForTesting((root_ / program).string());
    calls_->clear();
    OpenWindow();
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    QApplication::processEvents();
  }
  void SetUp() override { RecordMessages(); }

  void RunFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
  }

  static std::vector<std::string> Names(size_t from = 0) {
    std::vector<std::string> names;
    for (size_t i = from; i < calls_->size(); ++i) names.push_back((*calls_)[i].name);
    return names;
  }
  static std::vector<TRecordedCall> Commands(int32_t code, size_t from = 0) {
    std::vector<TRecordedCall> found;
    for (size_t i = from; i < calls_->size(); ++i)
      if ((*calls_)[i].name == "Command" && (*calls_)[i].code == code) found.push_back((*calls_)[i]);
    return found;
  }
  bool PanelChecked() { return form_->Action("MMControlpanel")->isChecked(); }

  static inline void* recording_ = nullptr;
  static inline std::vector<TRecordedCall>* calls_ = nullptr;
  static inline test::TFireRequestFunction fire_ = nullptr;
};

TEST_F(PanelRecordingTest, StartShowsThePanelInTheCallOrder_withEmptyMediaInformation) {
  StartForm();
  ASSERT_TRUE(form_->PanelLibrary.Loaded());
  EXPECT_TRUE(PanelChecked());
  ASSERT_GE(calls_->size(), 18u);
  const auto& c = *calls_;
  EXPECT_EQ(c[0].name, "Command");
  EXPECT_EQ(c[0].code, 50);
  EXPECT_EQ(c[0].text, "Software\\Tessaland\\Kavello");
  EXPECT_EQ(c[1].name, "CreatePanel");
  EXPECT_TRUE(c[1].hasOwner);
  EXPECT_EQ(c[2].name, "SetCallback");
  const std::vector<int32_t> info = {260, 261, 262, 263, 272, 273, 274, 276, 277, 278, 279, 290};
  for (size_t i = 0; i < info.size(); ++i) {
    EXPECT_EQ(c[3 + i].code, info[i]);
    EXPECT_EQ(c[3 + i].a, 0);
    EXPECT_EQ(c[3 + i].text, "");
  }
  EXPECT_EQ(c[15].code, 38);
  EXPECT_EQ(c[16].code, 37);
  EXPECT_EQ(c[16].a, 0);
  EXPECT_EQ(c[17].name, "ShowPanel");
  // The window's own placement goes to the panel when it moves or is resized.
  calls_->clear();
  form_->setGeometry(100, 50, 320, 240);
  QApplication::processEvents();
  const auto placements = Commands(38);
  ASSERT_FALSE(placements.empty());
  EXPECT_EQ(placements.back().a, 100 * 65536 + 50);
  EXPECT_EQ(placements.back().b, 320 * 65536 + 240);
  // No About library in this program directory: the item stays disabled.
  EXPECT_FALSE(form_->Action("MMAbout")->isEnabled());
}

TEST_F(PanelRecordingTest, PlayingClip_sendsMediaInformationPositionAndBitrates_andPanelRequestsAct) {
  StartForm();
  calls_->clear();
  const std::string clip = (root_ / "media/clip.avi").string();
  form_->PlayFileNow(clip);
  TCOMPlay* player = form_->Player.get();
  ASSERT_EQ(player->State, psRunning);
  // After the open: the four bitrate displays blanked, then the media information.
  std::vector<int32_t> firstCodes;
  for (const auto& call : *calls_) if (call.name == "Command") firstCodes.push_back(call.code);
  ASSERT_GE(firstCodes.size(), 4u);
  const int32_t blanked[] = {280, 288, 281, 289};
  EXPECT_NE(std::search(firstCodes.begin(), firstCodes.end(), std::begin(blanked), std::end(blanked)), firstCodes.end());
  ASSERT_FALSE(Commands(260).empty());
  EXPECT_EQ(Commands(260).back().a, 320 * 65536 + 240);
  EXPECT_EQ(Commands(261).back().a, 25 * 65536);
  EXPECT_EQ(Commands(279).back().text, clip);
  EXPECT_EQ(Commands(290).back().a, form_->Duration / 100);
  EXPECT_NEAR(Commands(262).back().a, static_cast<double>(fs::file_size(clip)) / 1024, 1);
  EXPECT_GT(Commands(263).back().a, 0);

  // Position on the 100 ms tick and the bitrates once a second, while it plays.
  ASSERT_TRUE(RunUntil([&] { return player->GetPosition() >= 2300 || player->State != psRunning; }));
  const auto positions = Commands(259);
  ASSERT_GE(positions.size(), 5u);
  EXPECT_GT(positions.back().a, positions.front().a);
  const auto remaining = Commands(264);
  EXPECT_LT(remaining.back().a, remaining.front().a);
  EXPECT_GT(Commands(275).back().a, 0);
  const auto rates = Commands(280);
  EXPECT_TRUE(std::any_of(rates.begin(), rates.end(), [](const TRecordedCall& r) { return r.a > 0; }));

  // The panel asks: pause, seek to 50 %, an unknown code, resume.
  ASSERT_TRUE(fire_(259, 0, 0));
  EXPECT_EQ(player->State, psPaused);
  EXPECT_EQ(calls_->back().code, 264);  // the position followed the pause
  Options->StatNoReset = false;
  size_t before = calls_->size();
  ASSERT_TRUE(fire_(265, 5000, 0));
  EXPECT_NEAR(player->GetPosition(), form_->Duration / 2, 200);
  EXPECT_EQ(Commands(280, before).front().a, -1);
  EXPECT_EQ(Commands(288, before).front().a, -1);
  EXPECT_EQ(Commands(275, before).back().a, 5000);
  const int32_t position = player->GetPosition();
  before = calls_->size();
  EXPECT_FALSE(fire_(1000, 7, 7));
  EXPECT_EQ(player->GetPosition(), position);
  EXPECT_EQ(calls_->size(), before);
  ASSERT_TRUE(fire_(260, 0, 0));
  EXPECT_EQ(player->State, psRunning);
  ASSERT_TRUE(fire_(784, 0, 0));
  EXPECT_TRUE(form_->Muted);
  ASSERT_TRUE(fire_(258, 0, 0));
  EXPECT_EQ(player->State, psStopped);
}

TEST_F(PanelRecordingTest, F8HidesAndShows_andTheCloseAndExitRequestsWaitForTheTick) {
  StartForm();
  QTest::keyClick(form_.get(), Qt::Key_F8);
  EXPECT_FALSE(form_->PanelLibrary.Loaded());
  EXPECT_FALSE(PanelChecked());
  EXPECT_FALSE(Options->Panel);
  const auto tail = Names(calls_->size() - 2);
  EXPECT_EQ(tail, (std::vector<std::string>{"HidePanel", "DestroyPanel"}));
  QTest::keyClick(form_.get(), Qt::Key_F8);
  EXPECT_TRUE(form_->PanelLibrary.Loaded());
  EXPECT_TRUE(PanelChecked());
  EXPECT_TRUE(Options->Panel);
  EXPECT_EQ(calls_->back().name, "ShowPanel");

  // The panel closed itself: unloaded by the next tick, not inside the panel's call.
  ASSERT_TRUE(fire_(33, 0, 0));
  EXPECT_TRUE(form_->PanelLibrary.Loaded());
  ASSERT_TRUE(RunUntil([&] { return !form_->PanelLibrary.Loaded(); }, 5000));
  EXPECT_EQ(calls_->back().name, "DestroyPanel");
  EXPECT_FALSE(PanelChecked());
  EXPECT_FALSE(Options->Panel);

  // The panel asks to end the program: the tick closes the window, hiding the panel.
  QTest::keyClick(form_.get(), Qt::Key_F8);
  ASSERT_TRUE(fire_(32, 0, 0));
  EXPECT_TRUE(form_->isVisible());
  ASSERT_TRUE(RunUntil([&] { return !form_->isVisible(); }, 5000));
  EXPECT_FALSE(form_->PanelLibrary.Loaded());
  EXPECT_EQ(calls_->back().name, "DestroyPanel");
}

TEST_F(PanelRecordingTest, FullScreen_leftReleaseHandsTheFocusToThePanelAndBack) {
  StartForm();
  form_->MMFullscreenClick();
  EXPECT_EQ(Commands(37).back().a, 1);  // on top with the full-screen window
  QWidget* area = form_->VideoArea;
  QTest::mouseClick(area, Qt::LeftButton);  // the release after entering is ignored
  EXPECT_FALSE(form_->PanelHasFocus);
  QTest::mouseClick(area, Qt::LeftButton);
  EXPECT_TRUE(form_->PanelHasFocus);
  EXPECT_EQ(calls_->back().name, "SetPanelFocus");
  QTest::mouseClick(area, Qt::LeftButton);
  EXPECT_FALSE(form_->PanelHasFocus);
  form_->MMFullscreenClick();
  EXPECT_EQ(Commands(37).back().a, 0);
}

TEST_F(PanelRecordingTest, MissingOrIncompleteLibrary_leavesThePanelUncheckedWithoutHarm) {
  for (const char* program : {"incomplete", "none"}) {
    SCOPED_TRACE(program);
    StartForm(program);
    EXPECT_FALSE(form_->PanelLibrary.Loaded());
    EXPECT_FALSE(PanelChecked());
    EXPECT_TRUE(Options->Panel);  // unchanged at start
    QTest::keyClick(form_.get(), Qt::Key_F8);
    EXPECT_FALSE(form_->PanelLibrary.Loaded());
    EXPECT_FALSE(PanelChecked());
    EXPECT_FALSE(Options->Panel);  // from the menu it stays off
    form_->PlayFileNow((root_ / "media/clip.avi").string());  // commands to no panel are dropped
    RunFor(300);
    EXPECT_TRUE(calls_->empty());
    form_->close();
    form_.reset();
  }
}

}  // namespace
}  // namespace kv
