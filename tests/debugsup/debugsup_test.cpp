// TDebug: stamps, line forms, CR LF, the hex dump, append and Clear, silence when off.
#include "debugsup/debugsup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

namespace kv {
namespace {

class DebugTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/kavello-log-XXXXXX";
    dir_ = ::mkdtemp(templ);
    path_ = dir_ + "/kavello.log";
    log_.SetFileName(path_);
    log_.SetTimeSource([](int& h, int& m, int& s, int& ms) { h = 9, m = 5, s = 7, ms = 42; });
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Content() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  bool FileExists() const { return std::filesystem::exists(path_); }

  std::string dir_;
  std::string path_;
  TDebug log_;
};

TEST(DebugStamp, FormatStamp_padsMinutesSecondsAndMilliseconds) {
  struct Row {
    int h, m, s, ms;
    const char* expected;
  } rows[] = {{9, 5, 7, 42, "9:05:07.042"}, {0, 0, 0, 0, "0:00:00.000"}, {14, 2, 11, 5, "14:02:11.005"},
              {23, 59, 59, 999, "23:59:59.999"}};
  for (const auto& r : rows) EXPECT_EQ(TDebug::FormatStamp(r.h, r.m, r.s, r.ms), r.expected);
}

TEST_F(DebugTest, Disabled_writesNoFileForTheLineOperations) {
  EXPECT_FALSE(log_.Enabled);
  log_.TextOut("text");
  log_.IntegerOut("n", 1);
  log_.FloatOut("f", 1.5);
  log_.BoolOut("b", true);
  EXPECT_FALSE(FileExists());
}

TEST_F(DebugTest, Enabled_writesStampedLinesWithCrLf) {
  log_.Enabled = true;
  log_.TextOut("Creating mixer");
  log_.IntegerOut("Video bitrate", -2147483647 - 1);
  log_.BoolOut("Screensaver state", false);
  log_.BoolOut("Teletext transparency:", true);
  log_.FloatOut("Rate", 0.1);
  log_.FloatOut("Third", 1.0 / 3.0);
  log_.FloatOut("Whole", 25.0);
  EXPECT_EQ(Content(),
            "9:05:07.042: Creating mixer\r\n"
            "9:05:07.042: Video bitrate: -2147483648\r\n"
            "9:05:07.042: Screensaver state: false\r\n"
            "9:05:07.042: Teletext transparency:: true\r\n"
            "9:05:07.042: Rate: 0.1\r\n"
            "9:05:07.042: Third: 0.333333333333333\r\n"
            "9:05:07.042: Whole: 25\r\n");
}

TEST_F(DebugTest, RealClock_givesTheStampForm) {
  log_.SetTimeSource(nullptr);
  log_.Enabled = true;
  log_.TextOut("x");
  EXPECT_TRUE(std::regex_match(Content(), std::regex(R"(([0-9]|1[0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]\.[0-9]{3}: x\r\n)")))
      << Content();
}

TEST_F(DebugTest, BinaryOut_dumpsEightBytesPerLineWithoutStamps) {
  log_.Enabled = true;
  const unsigned char bytes[10] = {0x00, 0x01, 0x7f, 0x80, 0xab, 0xcd, 0xef, 0xff, 0x10, 0x0a};
  log_.BinaryOut("Format", sizeof bytes, bytes);
  EXPECT_EQ(Content(),
            "9:05:07.042: Format, size=10\r\n"
            "0000: 00 01 7F 80 AB CD EF FF\r\n"
            "0008: 10 0A\r\n");
}

TEST_F(DebugTest, BinaryOut_offsetsGrowPastFourDigits) {
  log_.Enabled = true;
  std::vector<unsigned char> bytes(0x10002, 0x5a);
  log_.BinaryOut("Big", bytes.size(), bytes.data());
  std::string content = Content();
  EXPECT_NE(content.find("\r\nFFF8: 5A 5A 5A 5A 5A 5A 5A 5A\r\n"), std::string::npos);
  EXPECT_NE(content.find("\r\n10000: 5A 5A\r\n"), std::string::npos);  // at least four digits
}

TEST_F(DebugTest, BinaryOut_unreadableBlockEndsWithAccessError) {
  log_.Enabled = true;
  log_.BinaryOut("Nothing", 16, nullptr);
  EXPECT_EQ(Content(), "9:05:07.042: Nothing, size=16\r\n0000: access error\r\n");
}

TEST_F(DebugTest, BinaryOut_zeroSizeWritesOnlyTheHeader) {
  log_.Enabled = true;
  log_.BinaryOut("Empty", 0, nullptr);
  EXPECT_EQ(Content(), "9:05:07.042: Empty, size=0\r\n");
}

TEST_F(DebugTest, ExistingFile_isAppendedUnlessCleared) {
  { std::ofstream(path_, std::ios::binary) << "earlier run\r\n"; }
  log_.Enabled = true;
  log_.TextOut("next");
  EXPECT_EQ(Content(), "earlier run\r\n9:05:07.042: next\r\n");
  log_.Clear();
  EXPECT_FALSE(FileExists());
  log_.Clear();  // nothing to delete: no harm
  log_.TextOut("fresh");
  EXPECT_EQ(Content(), "9:05:07.042: fresh\r\n");
}

TEST_F(DebugTest, FileDeletedBetweenLines_isCreatedAgain) {
  log_.Enabled = true;
  log_.TextOut("one");
  std::filesystem::remove(path_);
  log_.TextOut("two");
  EXPECT_EQ(Content(), "9:05:07.042: two\r\n");
}

TEST_F(DebugTest, UnwritablePath_losesLinesSilently) {
  log_.SetFileName(dir_ + "/no/such/folder/kavello.log");
  log_.Enabled = true;
  log_.TextOut("lost");
  log_.BinaryOut("lost", 4, "abcd");
  log_.SetFileName("");
  log_.TextOut("lost too");
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/no"));
}

TEST_F(DebugTest, LinesFromSeveralThreads_stayWhole) {
  log_.Enabled = true;
  constexpr int kThreads = 4, kLines = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < kLines; ++i) log_.TextOut("thread " + std::to_string(t) + " line " + std::to_string(i));
    });
  }
  for (auto& th : threads) th.join();
  std::istringstream in(Content());
  std::string line;
  int count = 0;
  std::regex form(R"(9:05:07\.042: thread [0-3] line [0-9]+\r)");
  while (std::getline(in, line)) {
    EXPECT_TRUE(std::regex_match(line, form)) << line;
    ++count;
  }
  EXPECT_EQ(count, kThreads * kLines);
}

}  // namespace
}  // namespace kv
