// The real program as a user starts it: a first instance that listens, a second one that
// hands its file over and ends, and a SIGTERM that closes the first like "Exit".
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

class ProgramProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kavello-proc-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    for (const char* d : {"config/kavello", "data", "runtime", "work"}) fs::create_directories(root_ / d);
    fs::permissions(root_ / "runtime", fs::perms::owner_all);
    // Current settings, so no options dialog opens at start.
    std::ofstream reg(root_ / "config/kavello/user.reg");
    reg << "Windows Registry Editor Version 5.00\r\n\r\n"
        << "[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"
        << "\"Version\"=\"2.3.0.0\"\r\n\r\n"
        << "[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Display]\r\n"
        << "\"Centered\"=dword:00000000\r\n";
    reg.close();
    media_ = root_ / "work" / "film.avi";
    std::ofstream(media_) << "not really a film";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  pid_t Start(const std::vector<std::string>& args) {
    std::vector<std::string> env = {
        "XDG_CONFIG_HOME=" + (root_ / "config").string(), "XDG_DATA_HOME=" + (root_ / "data").string(),
        "XDG_RUNTIME_DIR=" + (root_ / "runtime").string(), "HOME=" + root_.string(),
        "QT_QPA_PLATFORM=offscreen", "PATH=/usr/bin:/bin"};
    std::vector<std::string> argv = {std::string(KAVELLO_PROGRAM_DIR) + "/kavello"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv, cenv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    for (auto& e : env) cenv.push_back(e.data());
    cenv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, (root_ / "work").c_str());
    if (!output_.empty())
      posix_spawn_file_actions_addopen(&actions, 1, output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
  }

  // Waits for the process; -1 when it does not end within the limit (then it is killed).
  static int WaitExit(pid_t pid, std::chrono::seconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      pid_t r = waitpid(pid, &status, WNOHANG);
      if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
  }

  // Waits until `path` holds `needle`: the other process's progress, not a timing assumption.
  static bool WaitForText(const fs::path& path, const std::string& needle, std::chrono::seconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      if (ReadFile(path).find(needle) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  static std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  fs::path root_;
  fs::path media_;
  fs::path output_;  // the program's standard output goes here when set
};

TEST_F(ProgramProcess, SecondInstanceHandsOverItsFileAndEnds_firstClosesOnSigterm) {
  const fs::path log = root_ / "work" / "trace.txt";
  pid_t first = Start({"/log", "trace.txt"});
  ASSERT_GT(first, 0);
  ASSERT_TRUE(WaitForText(log, "Screensaver state: ", std::chrono::seconds(30)));
  ASSERT_TRUE(fs::exists(root_ / "runtime" / "kavello-instance"));

  pid_t second = Start({media_.filename().string()});
  ASSERT_GT(second, 0);
  EXPECT_EQ(WaitExit(second, std::chrono::seconds(30)), 0);
  EXPECT_TRUE(WaitForText(log, "Instance hand-over: " + media_.string(), std::chrono::seconds(30)));

  kill(first, SIGTERM);
  EXPECT_EQ(WaitExit(first, std::chrono::seconds(30)), 0);
  const std::string reg = ReadFile(root_ / "config/kavello/user.reg");
  EXPECT_NE(reg.find("\"Version\"=\"2.3.0.0\""), std::string::npos) << reg;
  EXPECT_NE(reg.find("[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Position]"), std::string::npos) << reg;
  EXPECT_NE(reg.find("\"Width\"=dword:00000140"), std::string::npos) << reg;
  EXPECT_NE(reg.find("\"Height\"=dword:000000b4"), std::string::npos) << reg;
}

TEST_F(ProgramProcess, LogLinesCarryTheStampForm) {
  pid_t first = Start({"/log"});
  ASSERT_GT(first, 0);
  const fs::path log = root_ / "data" / "kavello" / "kavello.log";
  ASSERT_TRUE(WaitForText(log, "Screensaver state: ", std::chrono::seconds(30)));
  kill(first, SIGINT);
  EXPECT_EQ(WaitExit(first, std::chrono::seconds(30)), 0);
  std::istringstream lines(ReadFile(log));
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.back(), '\r') << "lines end in CR LF";
    // H:MM:SS.mmm: text
    size_t colon = line.find(':');
    ASSERT_NE(colon, std::string::npos);
    ASSERT_GE(line.size(), colon + 11);
    EXPECT_EQ(line[colon + 3], ':');
    EXPECT_EQ(line[colon + 6], '.');
    EXPECT_EQ(line.substr(colon + 10, 2), ": ");
    ++count;
  }
  EXPECT_GE(count, 1);
}

TEST_F(ProgramProcess, HelpPrintsTheScriptingSwitches) {
  output_ = root_ / "help.txt";
  pid_t p = Start({"--help"});
  ASSERT_GT(p, 0);
  EXPECT_EQ(WaitExit(p, std::chrono::seconds(30)), 0);
  const std::string help = ReadFile(output_);
  for (const char* line : {"Usage: kavello", "/log [FILE]", "--quit-at-end", "--screenshot-at", "--help"})
    EXPECT_NE(help.find(line), std::string::npos) << "the help does not show " << line << ":\n" << help;
}

}  // namespace
