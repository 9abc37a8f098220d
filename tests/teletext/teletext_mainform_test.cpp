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

#include "app/mainform_fixture.h"
#include "app/mainform.h"
#include "osd/osdunit.h"
#include "platform/module/program_directory.h"
#include "platform/ui/messagebox.h"
#include "ts_writer.h"

namespace kv {
namespace {

class TeletextMainFormTest : public MainWindowHarness {
 protected:
  static void SetUpTestSuite() {
    MakeHome("kavello-ttx-form");
    const std::string saved = (root_ / "saved").string();
    fs::create_directories(saved);
    std::ofstream(root_ / "config/kavello/user.reg", std::ios::app)
        << "\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Player]\r\n"
        << "\"VideoRenderer\"=\"Video Mixing Renderer 7\"\r\n\r\n"
        << "[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Teletext]\r\n"
        << "\"Directory\"=\"" << saved << "\"\r\n\"SaveAs\"=dword:00000001\r\n\"Filename\"=dword:00000002\r\n";
    test::TTsWriterOptions o;
    o.pages = test::StandardPages();
    o.audio = false;
    o.seconds = 8;
    ASSERT_TRUE(test::WriteTeletextTs((root_ / "media/news.ts").string(), o));
    StartApplication();
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
  ASSERT_TRUE(RunUntil([&] { return player->Teletext->SavePages(32, 0, 0, probe.c_str()) == S_OK; }, 30000))
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
