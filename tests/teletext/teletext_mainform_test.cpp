// The real main window, offscreen, playing a transport stream with teletext through a
// mixing renderer: the "Teletext" item and the teletext keys as a user presses them.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/mainform.h"
#include "osd/osdunit.h"
#include "platform/module/program_directory.h"
#include "platform/ui/messagebox.h"
#include "ts_writer.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class TeletextMainFormTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/kavello-ttx-form-XXXXXX";
    root_ = mkdtemp(tmpl);
    fs::create_directories(root_ / "config/kavello");
    fs::create_directories(root_ / "runtime");
    fs::permissions(root_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directories(root_ / "saved");
    fs::create_directories(root_ / "media");
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), 1);
    setenv("PULSE_SERVER", "unix:/nonexistent", 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    std::string saved = (root_ / "saved").string();
    std::ofstream(root_ / "config/kavello/user.reg")
        << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"
        << "\"Version\"=\"2.3.0.0\"\r\n\"MultipleInst\"=dword:00000001\r\n\r\n"
        << "[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Player]\r\n"
        << "\"VideoRenderer\"=\"Video Mixing Renderer 7\"\r\n\r\n"
        << "[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Teletext]\r\n"
        << "\"Directory\"=\"" << saved << "\"\r\n\"SaveAs\"=dword:00000001\r\n\"Filename\"=dword:00000002\r\n";
    test::TTsWriterOptions o;
    o.pages = test::StandardPages();
    o.audio = false;
    o.seconds = 8;
    ASSERT_TRUE(test::WriteTeletextTs((root_ / "media/news.ts").string(), o));
    SetProgramDirectoryForTesting(KAVELLO_PROGRAM_DIR);
    static int argc = 1;
    static char arg0[] = "teletext_mainform_test";
    static char* argv[] = {arg0, nullptr};
    app_ = new QApplication(argc, argv);
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  void SetUp() override {
    previous_ = ui::SetMessageBoxHandler([](const std::string& text, const std::string&) { messages_.push_back(text); });
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
  template <class F>
  bool RunUntil(F done, int limitMs = 30000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < limitMs) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(form_.get(), key, modifiers);
    QApplication::processEvents();
  }
  int32_t Page() {
    int32_t page = 0, subpage = 0;
    form_->Player->Teletext->GetPage(&page, &subpage);
    return page;
  }

  static inline fs::path root_;
  static inline QApplication* app_ = nullptr;
  static inline std::vector<std::string> messages_;
  ui::MessageBoxHandler previous_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(TeletextMainFormTest, TShowsThePage_digitsSelect_ControlTMakesItTransparent_SSavesThePage) {
  form_->OpenFile((root_ / "media/news.ts").string());
  ASSERT_TRUE(form_->PlayCurrent());
  TCOMPlay* player = form_->Player.get();
  ASSERT_TRUE(player->TeletextActive);
  QAction* item = form_->Action("MMTeletext");
  ASSERT_TRUE(item);
  EXPECT_TRUE(item->isEnabled());
  EXPECT_FALSE(item->isChecked());
  const std::string probe = (root_ / "probe.ttx").string();
  ASSERT_TRUE(RunUntil([&] { return player->Teletext->SavePages(32, 0, 0, probe.c_str()) == S_OK; }))
      << "page 100 never arrived";

  Key(Qt::Key_5);  // hidden: the digit does nothing
  EXPECT_FALSE(player->TeletextShown);
  Key(Qt::Key_T);
  EXPECT_TRUE(player->TeletextShown);
  EXPECT_TRUE(item->isChecked());
  EXPECT_EQ(Page(), 0x100);
  Key(Qt::Key_1);
  Key(Qt::Key_0);
  Key(Qt::Key_1);
  EXPECT_EQ(Page(), 0x101) << "a digit typed while hidden would have made this another page";
  Key(Qt::Key_T, Qt::ControlModifier);
  EXPECT_TRUE(player->TeletextTransparent);

  Key(Qt::Key_S);
  const fs::path saved = root_ / "saved/P101-S3F7F.ttx";
  EXPECT_TRUE(fs::exists(saved));
  EXPECT_EQ(OnScreen->MessageText().toStdString(), saved.string() + " saved");
  std::ifstream in(saved);
  std::string first, second;
  std::getline(in, first);
  std::getline(in, second);
  EXPECT_EQ(second.substr(0, 15), "News of the day");

  Key(Qt::Key_S, Qt::ControlModifier);  // every page, one file each
  EXPECT_EQ(OnScreen->MessageText().toStdString(), "Pages saved");
  for (const char* name : {"P100-S0000.ttx", "P101-S0000.ttx", "P102-S0000.ttx", "P200-S0000.ttx"})
    EXPECT_TRUE(fs::exists(root_ / "saved" / name)) << name;

  Key(Qt::Key_Plus);
  EXPECT_EQ(Page(), 0x102);
  Key(Qt::Key_Minus);
  EXPECT_EQ(Page(), 0x101);
  Key(Qt::Key_T, Qt::ControlModifier);
  EXPECT_FALSE(player->TeletextTransparent);
  Key(Qt::Key_T);
  EXPECT_FALSE(player->TeletextShown);
  EXPECT_FALSE(item->isChecked());
  item->trigger();
  EXPECT_TRUE(player->TeletextShown);
  EXPECT_TRUE(item->isChecked());
  EXPECT_TRUE(messages_.empty());
}

}  // namespace
}  // namespace kv
