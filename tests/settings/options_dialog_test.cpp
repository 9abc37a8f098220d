// ShowOptionsDialog with stand-in libraries in a temporary program directory.
#include <gtest/gtest.h>

#include "settings/optunit.h"
#include "settings_fixture.h"

namespace kv {
namespace {

class OptionsDialogTest : public kv::testing::SettingsFixture {};

constexpr const char* kCannotLoad = "Error|Can`t load Options library!";

TEST_F(OptionsDialogTest, MissingLibrary_showsTheMessageAndGivesFalse) {
  tOptions options;
  options.LoadSettings();
  EXPECT_FALSE(options.ShowOptionsDialog(nullptr));
  EXPECT_EQ(boxes_, std::vector<std::string>{kCannotLoad});
}

TEST_F(OptionsDialogTest, LibraryWithoutExport_isTreatedAsMissing) {
  InstallLibrary(OPTIONS_DOUBLE_NOEXPORT, "Components/Options.so");
  tOptions options;
  EXPECT_FALSE(options.ShowOptionsDialog(nullptr));
  EXPECT_EQ(boxes_, std::vector<std::string>{kCannotLoad});
}

TEST_F(OptionsDialogTest, DamagedLibraryFile_isTreatedAsMissing) {
  WriteProgramFile("Components/Options.so", "not an ELF file");
  tOptions options;
  EXPECT_FALSE(options.ShowOptionsDialog(nullptr));
  EXPECT_EQ(boxes_, std::vector<std::string>{kCannotLoad});
}

TEST_F(OptionsDialogTest, ConfirmedDialog_givesTrueAndReloadsTheSettings) {
  InstallLibrary(OPTIONS_DOUBLE_CONFIRM, "Components/Options.so");
  tOptions options;
  options.LoadSettings();
  int ownerMarker = 0;
  EXPECT_TRUE(options.ShowOptionsDialog(&ownerMarker));
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(options.Version, "2.3.0.0");  // read again after the dialog
  EXPECT_EQ(options.Language, "Deutsch");
  registry::TRegistry reg;
  Section(reg, "");
  EXPECT_EQ(reg.ReadInteger("DoubleMode"), 0);
  EXPECT_EQ(reg.ReadInteger("DoubleOwnerLow"),
            static_cast<int32_t>(reinterpret_cast<uintptr_t>(&ownerMarker)));
  // the library was unloaded: a second call loads it again and works the same
  EXPECT_TRUE(options.ShowOptionsDialog(nullptr));
  EXPECT_EQ(reg.ReadInteger("DoubleCalls"), 2);
}

TEST_F(OptionsDialogTest, SessionValues_surviveTheReloadUnlessTheDialogChangedThem) {
  WriteProgramFile("Filters/Sharpen.vid", "[Main]\nName=Sharpen Filter\n");
  InstallLibrary(OPTIONS_DOUBLE_CONFIRM, "Components/Options.so");
  tOptions options;
  options.LoadSettings();
  // changed through the menus in this session, not saved yet
  options.AlwaysOnTop = true;
  options.AspectRatioX = 16;
  options.AspectRatioY = 9;
  options.VideoRenderer = "Video Renderer";
  options.VideoFilters[0].FileName = "Sharpen";
  options.Width = 800;
  ASSERT_TRUE(options.ShowOptionsDialog(nullptr));
  EXPECT_TRUE(options.AlwaysOnTop);
  EXPECT_EQ(options.AspectRatioX, 16);
  EXPECT_EQ(options.AspectRatioY, 9);
  EXPECT_EQ(options.VideoRenderer, "Video Renderer");
  EXPECT_EQ(options.VideoFilters[0].FileName, "Sharpen");
  EXPECT_EQ(options.VideoFilters[0].Name, "Sharpen Filter");
  EXPECT_EQ(options.Width, 640);  // the dialog wrote it: the dialog wins
  EXPECT_EQ(options.Language, "Deutsch");
}

TEST_F(OptionsDialogTest, CancelledDialog_givesFalseButStillReloads) {
  InstallLibrary(OPTIONS_DOUBLE_CANCEL, "Components/Options.so");
  tOptions options;
  options.LoadSettings();
  EXPECT_FALSE(options.ShowOptionsDialog(nullptr));
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(options.Version, "");
  EXPECT_EQ(options.Language, "Deutsch");
}

TEST_F(OptionsDialogTest, DebugMode_loadsFromTheLibrarysOwnFolder) {
  InstallLibrary(OPTIONS_DOUBLE_CONFIRM, "Components/Options/Options.so");
  tOptions options;
  EXPECT_EQ(options.OptionsLibraryPath(), "Components/Options.so");
  EXPECT_FALSE(options.ShowOptionsDialog(nullptr));  // not in Components/ itself
  options.DebugMode = true;
  EXPECT_EQ(options.OptionsLibraryPath(), "Components/Options/Options.so");
  EXPECT_TRUE(options.ShowOptionsDialog(nullptr));
  EXPECT_EQ(boxes_, std::vector<std::string>{kCannotLoad});
}

}  // namespace
}  // namespace kv
