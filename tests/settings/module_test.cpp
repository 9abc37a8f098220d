// TModule and the program directory.
#include "platform/module/module.h"

#include <gtest/gtest.h>

#include "platform/module/program_directory.h"
#include "settings_fixture.h"

namespace kv {
namespace {

class ModuleTest : public kv::testing::SettingsFixture {};

TEST_F(ModuleTest, RelativePaths_areResolvedAgainstTheProgramDirectory) {
  EXPECT_EQ(ProgramDirectory(), programDir_);
  EXPECT_EQ(ProgramPath("Components/Options.so"), programDir_ + "/Components/Options.so");
  EXPECT_EQ(ProgramPath("/abs/lib.so"), "/abs/lib.so");
  SetProgramDirectoryForTesting("");
  // the test executable's own folder when nothing is set
  EXPECT_NE(ProgramDirectory().find("tests/bin"), std::string::npos) << ProgramDirectory();
  SetProgramDirectoryForTesting(programDir_ + "/");
  EXPECT_EQ(ProgramDirectory(), programDir_);
}

TEST_F(ModuleTest, LoadSymbolUnload_workOnARealLibrary) {
  InstallLibrary(OPTIONS_DOUBLE_CONFIRM, "Components/Options.so");
  TModule module;
  ASSERT_TRUE(module.Load("Components/Options.so")) << module.ErrorText();
  EXPECT_EQ(module.Path(), programDir_ + "/Components/Options.so");
  EXPECT_TRUE(module.ErrorText().empty());
  EXPECT_NE(module.Function<bool (*)(void*, int)>("ShowOptions"), nullptr);
  EXPECT_EQ(module.Symbol("NoSuchExport"), nullptr);
  EXPECT_FALSE(module.ErrorText().empty());

  TModule moved(std::move(module));
  EXPECT_FALSE(module.IsLoaded());
  EXPECT_TRUE(moved.IsLoaded());
  moved.Unload();
  EXPECT_FALSE(moved.IsLoaded());
  EXPECT_EQ(moved.Symbol("ShowOptions"), nullptr);
}

TEST_F(ModuleTest, Failures_keepTheLoadersText) {
  TModule missing("Components/None.so");
  EXPECT_FALSE(missing.IsLoaded());
  EXPECT_NE(missing.ErrorText().find("None.so"), std::string::npos) << missing.ErrorText();
  WriteProgramFile("Components/Junk.so", "junk");
  TModule junk("Components/Junk.so");
  EXPECT_FALSE(junk.IsLoaded());
  EXPECT_FALSE(junk.ErrorText().empty());
}

}  // namespace
}  // namespace kv
