// Concurrent writers (threads and real processes) and a writer killed before its rename.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry/hive_store.h"
#include "platform/registry/registry.h"
#include "temp_config.h"

namespace kv::registry {
namespace {

using kv::testing::TempConfig;
constexpr const char* kRoot = "Software\\Tessaland\\Kavello";

// Writes `count` values named prefix + i; returns how many writes failed.
int WriteMany(const std::string& prefix, int count) {
  TRegistry reg;
  if (!reg.OpenKey(kRoot, true)) return count;
  int failures = 0;
  for (int i = 0; i < count; ++i) {
    if (!reg.WriteInteger(prefix + std::to_string(i), i)) ++failures;
  }
  return failures;
}

void ExpectAllPresent(const std::vector<std::string>& prefixes, int count) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kRoot, false));
  EXPECT_EQ(reg.GetValueNames().size(), prefixes.size() * static_cast<size_t>(count));
  for (const auto& p : prefixes) {
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(reg.ReadInteger(p + std::to_string(i)), i) << p << i;
    }
  }
}

TEST(RegistryConcurrency, WritersInThreads_loseNoValue) {
  TempConfig config;
  constexpr int kThreads = 6, kCount = 40;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, -1);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] { failures[t] = WriteMany("T" + std::to_string(t) + "_", kCount); });
  }
  for (auto& th : threads) th.join();
  for (int f : failures) EXPECT_EQ(f, 0);
  std::vector<std::string> prefixes;
  for (int t = 0; t < kThreads; ++t) prefixes.push_back("T" + std::to_string(t) + "_");
  ExpectAllPresent(prefixes, kCount);
}

TEST(RegistryConcurrency, WritersInTwoProcesses_loseNoValue) {
  TempConfig config;
  constexpr int kCount = 60;
  std::vector<pid_t> children;
  for (const char* prefix : {"A", "B"}) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) ::_exit(WriteMany(prefix, kCount) == 0 ? 0 : 1);
    children.push_back(pid);
  }
  int parentFailures = WriteMany("P", kCount);  // the parent writes at the same time
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(parentFailures, 0);
  ExpectAllPresent({"A", "B", "P"}, kCount);
}

TEST(RegistryConcurrency, ProcessKilledBeforeRename_leavesTheOldFileWhole) {
  TempConfig config;
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kRoot, true));
  ASSERT_TRUE(reg.WriteString("Version", "2.3.0.0"));
  const std::string before = TempConfig::ReadFile(config.Hive());

  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    HiveStore::SetBeforeRenameHookForTesting([] { ::_exit(42); });
    TRegistry child;
    child.OpenKey(kRoot, false);
    child.WriteString("Version", "9.9.9.9");
    ::_exit(0);  // not reached when the hook ran
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 42) << "the child did not stop between write and rename";

  EXPECT_TRUE(std::filesystem::exists(config.Hive() + ".tmp"));
  EXPECT_EQ(TempConfig::ReadFile(config.Hive()), before);
  EXPECT_EQ(reg.ReadString("Version"), "2.3.0.0");
  // the lock died with the child: the next writer goes ahead
  ASSERT_TRUE(reg.WriteString("Language", "English"));
  EXPECT_EQ(reg.ReadString("Version"), "2.3.0.0");
  EXPECT_EQ(reg.ReadString("Language"), "English");
  EXPECT_FALSE(std::filesystem::exists(config.Hive() + ".tmp"));
}

}  // namespace
}  // namespace kv::registry
