// A temporary XDG_CONFIG_HOME for one options test, and quick access to its settings.
#pragma once

#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QDir>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/registry/registry.h"

namespace kv::testing {

class OptionsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/kavello-options-XXXXXX";
    root_ = ::mkdtemp(templ);
    ::setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("XDG_CONFIG_HOME");
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  // The accessor opened on a section of the settings ("" = root).
  registry::TRegistry& Section(const std::string& section) {
    reg_.CloseKey();
    std::string key = "Software\\Tessaland\\Kavello";
    if (!section.empty()) key += "\\" + section;
    EXPECT_TRUE(reg_.OpenKey(key, true));
    return reg_;
  }
  static std::string Pictures() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return QDir::toNativeSeparators(dir.isEmpty() ? QDir::homePath() : dir).toStdString();
  }

  std::string root_;
  registry::TRegistry reg_;
};

}  // namespace kv::testing
