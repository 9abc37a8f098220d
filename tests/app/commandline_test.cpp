#include "app/commandline.h"

#include <gtest/gtest.h>

#include <set>

namespace kv {
namespace {

struct Case {
  const char* title;
  std::vector<std::string> args;
  bool optionsDialog;
  bool log;
  std::string logFile;
  bool debug;
  std::string startFile;
  std::string firstArgumentFile;
};

class CommandLineTable : public ::testing::TestWithParam<Case> {};

const std::set<std::string> kExisting = {"/films/a.avi", "/films/b.mkv", "/home/ann/c.mp4", "/home/ann/old.log"};

// The catalogue's answer: these extensions are media the player opens.
bool IsMedia(const std::string& p) {
  for (const char* ext : {".avi", ".mkv", ".mp4"})
    if (p.size() > 4 && p.compare(p.size() - 4, 4, ext) == 0) return true;
  return false;
}

TEST_P(CommandLineTable, ParsesSwitchesAndFiles) {
  const Case& c = GetParam();
  CommandLine cl = ParseCommandLine(c.args, "/home/ann",
                                    [](const std::string& p) { return kExisting.count(p) > 0; }, IsMedia);
  EXPECT_EQ(cl.optionsDialog, c.optionsDialog);
  EXPECT_EQ(cl.log, c.log);
  EXPECT_EQ(cl.logFile, c.logFile);
  EXPECT_EQ(cl.debugMode, c.debug);
  EXPECT_EQ(cl.startFile, c.startFile);
  EXPECT_EQ(cl.firstArgumentFile, c.firstArgumentFile);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CommandLineTable,
    ::testing::Values(
        Case{"empty", {}, false, false, "", false, "", ""},
        Case{"logWithFileThenMedia", {"/log", "trace.txt", "/films/a.avi"}, false, true, "/home/ann/trace.txt", false, "/films/a.avi", ""},
        Case{"logLastKeepsDefault", {"/films/a.avi", "/log"}, false, true, "", false, "/films/a.avi", "/films/a.avi"},
        Case{"logFollowedBySwitchConsumesNothing", {"/log", "/debug"}, false, true, "", true, "", ""},
        Case{"logFollowedByScriptingSwitch", {"/log", "--quit-at-end"}, false, true, "", false, "", ""},
        // Every absolute path starts with "/": after "/log" it is still the log file ...
        Case{"logWithAbsoluteFile", {"/log", "/tmp/trace.txt", "/films/a.avi"}, false, true, "/tmp/trace.txt", false, "/films/a.avi", ""},
        Case{"logWithExistingNonMediaFile", {"/log", "/home/ann/old.log"}, false, true, "/home/ann/old.log", false, "", ""},
        // ... unless it names an existing file the player plays.
        Case{"logThenMediaFile", {"/log", "/films/b.mkv"}, false, true, "", false, "/films/b.mkv", ""},
        Case{"logThenMissingMediaNameIsTheLog", {"/log", "/films/none.avi"}, false, true, "/films/none.avi", false, "", ""},
        Case{"twoFilesLastWins", {"/films/a.avi", "/films/b.mkv"}, false, false, "", false, "/films/b.mkv", "/films/a.avi"},
        Case{"relativeFileResolvedAgainstCaller", {"c.mp4"}, false, false, "", false, "/home/ann/c.mp4", "/home/ann/c.mp4"},
        Case{"switchesAreCaseSensitive", {"/C", "/LOG", "/Debug"}, false, false, "", false, "", ""},
        Case{"missingFileIgnored", {"/films/none.avi", "/c"}, true, false, "", false, "", ""},
        Case{"firstArgumentMustBeTheFile", {"/c", "/films/a.avi"}, true, false, "", false, "/films/a.avi", ""}),
    [](const auto& info) { return std::string(info.param.title); });

TEST(CommandLineExtensions, ScreenshotAtTakesSecondsAndFile) {
  CommandLine cl = ParseCommandLine({"--screenshot-at", "2.5", "shot.png", "--quit-at-end"}, "/tmp",
                                    [](const std::string&) { return false; });
  EXPECT_DOUBLE_EQ(cl.screenshotAtSeconds, 2.5);
  EXPECT_EQ(cl.screenshotFile, "/tmp/shot.png");
  EXPECT_TRUE(cl.quitAtEnd);
  EXPECT_TRUE(cl.errors.empty());
}

TEST(CommandLineExtensions, MalformedScreenshotIsReportedNotFatal) {
  CommandLine cl = ParseCommandLine({"--screenshot-at", "soon", "x.png"}, "/tmp",
                                    [](const std::string&) { return false; });
  EXPECT_LT(cl.screenshotAtSeconds, 0);
  ASSERT_EQ(cl.errors.size(), 1u);
  CommandLine missing = ParseCommandLine({"--screenshot-at"}, "/tmp", [](const std::string&) { return false; });
  EXPECT_EQ(missing.errors.size(), 1u);
}

}  // namespace
}  // namespace kv
