// A temporary program directory and XDG_CONFIG_HOME for one settings test, and a recorder
// in place of the message box.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/module/program_directory.h"
#include "platform/registry/registry.h"
#include "platform/ui/messagebox.h"

namespace kv::testing {

class SettingsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/kavello-settings-XXXXXX";
    root_ = ::mkdtemp(templ);
    programDir_ = root_ + "/program";
    std::filesystem::create_directories(programDir_ + "/Filters");
    std::filesystem::create_directories(programDir_ + "/Components/Options");
    ::setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
    SetProgramDirectoryForTesting(programDir_);
    previousBox_ = ui::SetMessageBoxHandler(
        [this](const std::string& text, const std::string& caption) { boxes_.push_back(caption + "|" + text); });
  }
  void TearDown() override {
    ui::SetMessageBoxHandler(previousBox_);
    SetProgramDirectoryForTesting("");
    ::unsetenv("XDG_CONFIG_HOME");
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  void WriteProgramFile(const std::string& relative, const std::string& text) {
    std::filesystem::path p = programDir_ + "/" + relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }
  void InstallLibrary(const std::string& from, const std::string& relative) {
    std::filesystem::copy_file(from, programDir_ + "/" + relative,
                               std::filesystem::copy_options::overwrite_existing);
  }
  std::string HiveText() const {
    std::ifstream in(registry::HivePath(registry::Hive::CurrentUser), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Opens a section of the settings ("" = root) for a test's own reads and writes.
  static registry::TRegistry& Section(registry::TRegistry& reg, const std::string& section) {
    std::string key = "Software\\Tessaland\\Kavello";
    if (!section.empty()) key += "\\" + section;
    EXPECT_TRUE(reg.OpenKey(key, true));
    return reg;
  }

  std::string root_;
  std::string programDir_;
  std::vector<std::string> boxes_;  // "caption|text" of every message box shown
  ui::MessageBoxHandler previousBox_;
};

}  // namespace kv::testing
