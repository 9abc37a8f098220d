// The parsed hive is kept between reads: a file is parsed once for any number of reads,
// and a change by another writer is still seen by the next read, however quick.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/registry/hive_store.h"
#include "platform/registry/registry.h"
#include "temp_config.h"

namespace kv::registry {
namespace {

using kv::testing::TempConfig;
constexpr const char* kKey = "Software\\Tessaland\\Kavello";

// A hive with `count` dword values V0..V(count-1) = i + offset in one key.
std::string HiveText(int count, int offset) {
  std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\n";
  char line[64];
  for (int i = 0; i < count; ++i) {
    std::snprintf(line, sizeof line, "\"V%d\"=dword:%08x\n", i, i + offset);
    text += line;
  }
  return text;
}

// Replaces the hive as another program would: a new file renamed over the old one.
void ReplaceFile(const std::string& path, const std::string& text) {
  TempConfig::WriteFile(path + ".other", text);
  ASSERT_EQ(std::rename((path + ".other").c_str(), path.c_str()), 0);
}

TEST(RegistryCache, ManyReadsOfAnUnchangedFile_parseItOnce_andOwnWritesNeedNoParse) {
  TempConfig config;
  TempConfig::WriteFile(config.Hive(), HiveText(3000, 0));
  const uint64_t before = HiveStore::ParseCountForTesting();
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, false));
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(reg.ReadInteger("v" + std::to_string(i)), i);  // any case
  EXPECT_EQ(HiveStore::ParseCountForTesting() - before, 1u);
  ASSERT_TRUE(reg.WriteInteger("Mine", 7));
  const uint64_t afterWrite = HiveStore::ParseCountForTesting();
  EXPECT_EQ(reg.ReadInteger("Mine"), 7);
  EXPECT_EQ(reg.ReadInteger("V2999"), 2999);
  EXPECT_EQ(HiveStore::ParseCountForTesting(), afterWrite);
}

TEST(RegistryCache, AnotherWritersChange_isSeenAtOnce_evenWithTheSameLengthAndTimes) {
  TempConfig config;
  TempConfig::WriteFile(config.Hive(), HiveText(50, 0));
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, false));
  ASSERT_EQ(reg.ReadInteger("V10"), 10);
  struct stat old{};
  ASSERT_EQ(::stat(config.Hive().c_str(), &old), 0);
  // Same length, written in place, modification time put back: only the bytes differ.
  TempConfig::WriteFile(config.Hive(), HiveText(50, 1));
  timespec times[2] = {old.st_atim, old.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, config.Hive().c_str(), times, 0), 0);
  EXPECT_EQ(reg.ReadInteger("V10"), 11);
  // Renamed over it, as the program itself writes.
  ReplaceFile(config.Hive(), HiveText(50, 2));
  EXPECT_EQ(reg.ReadInteger("V10"), 12);
  // Removed: the hive reads empty.
  ASSERT_EQ(::unlink(config.Hive().c_str()), 0);
  EXPECT_FALSE(reg.ReadInteger("V10").has_value());
}

TEST(RegistryCache, AChangeAfterTheStampsAged_isSeen) {
  TempConfig config;
  TempConfig::WriteFile(config.Hive(), HiveText(20, 0));
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, false));
  // Let the file's stamps age past the trust limit, then read: the cache is trusted now.
  std::this_thread::sleep_for(std::chrono::nanoseconds(HiveStore::KTrustAfterNs) + std::chrono::milliseconds(200));
  ASSERT_EQ(reg.ReadInteger("V5"), 5);
  const uint64_t before = HiveStore::ParseCountForTesting();
  EXPECT_EQ(reg.ReadInteger("V6"), 6);
  EXPECT_EQ(HiveStore::ParseCountForTesting(), before);  // no read of the file at all
  ReplaceFile(config.Hive(), HiveText(20, 100));
  EXPECT_EQ(reg.ReadInteger("V5"), 105);
}

TEST(RegistryCache, AFifoInPlaceOfTheHive_readsEmpty_andIsNeverWritten) {
  TempConfig config;
  TempConfig::WriteFile(config.Hive(), "");
  ASSERT_EQ(::unlink(config.Hive().c_str()), 0);
  ASSERT_EQ(::mkfifo(config.Hive().c_str(), 0600), 0);
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey(kKey, false));
  EXPECT_FALSE(reg.OpenKey(kKey, true));  // the file cannot be read: it is not replaced
  struct stat st{};
  ASSERT_EQ(::stat(config.Hive().c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

}  // namespace
}  // namespace kv::registry
