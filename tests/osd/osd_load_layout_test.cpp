// TOSD::LoadLayout against the real per-user registry (in a temporary configuration
// folder) and a label file in a temporary program directory.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "osd/osdunit.h"
#include "osd_fake_clock.h"
#include "osd_qt_app.h"
#include "platform/registry/registry.h"

namespace kv {
namespace {

namespace fs = std::filesystem;


class OsdLoadLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    osd::test::TestApp();
    dir_ = fs::temp_directory_path() /
           ("kavello_osd_load_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_ / "config");
    fs::create_directories(dir_ / "program" / "Lang");
    const char* old = std::getenv("XDG_CONFIG_HOME");
    if (old) oldConfig_ = old;
    hadConfig_ = old != nullptr;
    ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    owner_ = std::make_unique<QWidget>();
    owner_->resize(640, 480);
    osd_ = std::make_unique<TOSD>(owner_.get(), std::make_shared<osd::test::TFakeOsdClock>());
    osd_->ProgramDir = (dir_ / "program").string();
  }
  void TearDown() override {
    osd_.reset();
    owner_.reset();
    if (hadConfig_) ::setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(dir_);
  }
  fs::path dir_;
  std::string oldConfig_;
  bool hadConfig_ = false;
  std::unique_ptr<QWidget> owner_;
  std::unique_ptr<TOSD> osd_;
};

TEST_F(OsdLoadLayout, LoadLayout_readsTheDisplayKeyAndTheNamedLabelFile) {
  {
    registry::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(osd::kDefaultDisplayKey, true));
    ASSERT_TRUE(reg.WriteInteger("Delay", 7));
    ASSERT_TRUE(reg.WriteInteger("Color", 0x0000FF));
    ASSERT_TRUE(reg.WriteBool("Transparent", false));
    ASSERT_TRUE(reg.WriteString("Font", "DejaVu Sans"));
  }
  std::ofstream(dir_ / "program" / "Lang" / "German.lng")
      << "[Display]\nVolume=Lautst\xC3\xA4rke\nOSDMenu=Men\xC3\xBC\n";
  osd_->LanguageName = "German";
  osd_->LoadLayout();
  EXPECT_EQ(osd_->Layout().Delay, 7);
  EXPECT_FALSE(osd_->Layout().Transparent);
  EXPECT_EQ(osd_->Style().FontColor, QColor(255, 0, 0));
  EXPECT_EQ(osd_->Style().FontName, "DejaVu Sans");
  EXPECT_EQ(osd_->Labels().MenuTitle, "Men\xC3\xBC");
  osd_->SetBarGroupEnabled(1, true);
  osd_->HandleKey(TOSD::KeyUp);
  EXPECT_EQ(osd_->MessageText(), QString::fromUtf8("Lautst\xC3\xA4rke"));
}

TEST_F(OsdLoadLayout, LoadLayout_withNothingStored_usesTheDefaults_andWritesNothing) {
  osd_->LoadLayout();  // no key, and "Lang/.lng" does not exist
  EXPECT_EQ(osd_->Layout().TimePosX, 95);
  EXPECT_EQ(osd_->Labels().Bars[0], "Volume");
  EXPECT_FALSE(fs::exists(registry::HivePath(registry::Hive::CurrentUser)));
}

TEST_F(OsdLoadLayout, LoadLayout_showsAKeptClockAgainAtItsNewPlace) {
  osd_->ShowTime(1);
  const QRect before = osd_->Panel(TOSD::Element::Clock)->geometry();
  {
    registry::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(osd::kDefaultDisplayKey, true));
    ASSERT_TRUE(reg.WriteInteger("TimePosX", 50));
  }
  osd_->LoadLayout();
  EXPECT_TRUE(osd_->Visible(TOSD::Element::Clock));
  EXPECT_NE(osd_->Panel(TOSD::Element::Clock)->geometry(), before);
  EXPECT_EQ(osd_->Panel(TOSD::Element::Clock)->x(), 320 - 125);
}

}  // namespace
}  // namespace kv
