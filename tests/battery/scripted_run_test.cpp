// The real program in the ways a script and a desktop session run it: "--quit-at-end" with
// inputs that cannot be played, a film beside named pipes, and a SIGTERM that comes before
// the program had a chance to set anything up (even while the loader is still starting it).
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
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The program under test; KAVELLO_BATTERY_PROGRAM_DIR points at another build (an older
// one, to see these tests fail there).
std::string ProgramDir() {
  const char* other = std::getenv("KAVELLO_BATTERY_PROGRAM_DIR");
  return other && *other ? other : KAVELLO_PROGRAM_DIR;
}

class ScriptedRun : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kavello-scripted-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    for (const char* d : {"config/kavello", "data", "runtime", "work"}) fs::create_directories(root_ / d);
    fs::permissions(root_ / "runtime", fs::perms::owner_all);
    std::ofstream reg(root_ / "config/kavello/user.reg");
    reg << "Windows Registry Editor Version 5.00\r\n\r\n"
        << "[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"
        << "\"Version\"=\"2.3.0.0\"\r\n";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // Starts the program in work/ with private folders, no sound server and standard error
  // in stderr.txt; `blockTerm` starts it with SIGTERM blocked, as a launcher may.
  pid_t Start(const std::vector<std::string>& args, bool blockTerm = false,
              const std::vector<std::string>& moreEnv = {}) {
    std::vector<std::string> env = {
        "XDG_CONFIG_HOME=" + (root_ / "config").string(), "XDG_DATA_HOME=" + (root_ / "data").string(),
        "XDG_RUNTIME_DIR=" + (root_ / "runtime").string(), "HOME=" + root_.string(),
        "QT_QPA_PLATFORM=offscreen", "PATH=/usr/bin:/bin",
        "PULSE_SERVER=unix:" + (root_ / "no-sound-server").string()};
    env.insert(env.end(), moreEnv.begin(), moreEnv.end());
    std::vector<std::string> argv = {ProgramDir() + "/kavello"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv, cenv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    for (auto& e : env) cenv.push_back(e.data());
    cenv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, (root_ / "work").c_str());
    const std::string errPath = (root_ / "stderr.txt").string();
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t mask;
    sigemptyset(&mask);
    if (blockTerm) sigaddset(&mask, SIGTERM);
    posix_spawnattr_setsigmask(&attr, &mask);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, cargv[0], &actions, &attr, cargv.data(), cenv.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
  }

  // The exit status, 128 + signal when killed, -1 when it did not end in time (then killed).
  static int WaitExit(pid_t pid, std::chrono::seconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
  }

  std::string Stderr() const { return ReadFile(root_ / "stderr.txt"); }

  static std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  // A one-second clip made with the ffmpeg tool; false when it is not installed.
  bool MakeClip(const fs::path& path) {
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=160x120:rate=25:duration=1 "
                                "-f lavfi -i sine=duration=1 -c:v mpeg4 -c:a pcm_s16le '" + path.string() + "' 2>/dev/null";
    return std::system(command.c_str()) == 0 && fs::exists(path);
  }

  fs::path root_;
};

TEST_F(ScriptedRun, WhatCannotBePlayed_endsWithStatusOne_andTheMessageOnStandardError) {
  const fs::path work = root_ / "work";
  fs::create_directory(work / "folder.avi");
  std::ofstream(work / "junk.avi") << "not really a film, only bytes with a film's name";
  ASSERT_EQ(mkfifo((work / "pipe.mkv").c_str(), 0600), 0);
  for (const std::string name : {"folder.avi", "junk.avi", "pipe.mkv", "missing.avi"}) {
    SCOPED_TRACE(name);
    pid_t pid = Start({"--quit-at-end", name});
    ASSERT_GT(pid, 0);
    // A message box would wait for a click for ever: the run must end by itself.
    EXPECT_EQ(WaitExit(pid, std::chrono::seconds(60)), 1);
    EXPECT_NE(Stderr().find("Error: Cannot play file " + (work / name).string()), std::string::npos) << Stderr();
  }
}

TEST_F(ScriptedRun, AFilmBesideNamedPipesWithSubtitleAndSoundNames_playsToTheEnd) {
  const fs::path work = root_ / "work";
  if (!MakeClip(work / "clip.avi")) GTEST_SKIP() << "the ffmpeg tool is not installed";
  // Opening one of these for reading would wait for a writer that never comes.
  ASSERT_EQ(mkfifo((work / "clip.srt").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((work / "clip.wav").c_str(), 0600), 0);
  pid_t pid = Start({"/log", "trace.txt", "--quit-at-end", "clip.avi"});
  ASSERT_GT(pid, 0);
  EXPECT_EQ(WaitExit(pid, std::chrono::seconds(90)), 0) << Stderr();
  const std::string log = ReadFile(work / "trace.txt");
  EXPECT_NE(log.find("Not a regular file, not attached: " + work.string() + "/clip.srt"), std::string::npos) << log;
}

TEST_F(ScriptedRun, ASigtermBeforeTheProgramIsReady_closesItThroughTheClosePath) {
  // The signal is sent at once and held back by the launcher's mask until the program
  // itself unblocks it: it arrives at the earliest moment the program can take it.
  pid_t pid = Start({}, /*blockTerm=*/true);
  ASSERT_GT(pid, 0);
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(WaitExit(pid, std::chrono::seconds(60)), 0);
  // The close path ran: the window's placement was written.
  const std::string reg = ReadFile(root_ / "config/kavello/user.reg");
  EXPECT_NE(reg.find("\\Kavello\\Position]"), std::string::npos) << reg;
}

TEST_F(ScriptedRun, ASigtermWhileTheLoaderStartsThePlayer_closesItThroughTheClosePath) {
  // Sent from a library's constructor in the player's own process: before its main runs, no
  // handler of the player's can be installed, so only a signal held back from outside (the
  // front door "kavello" blocks it before it starts the player) can end well.
  pid_t pid = Start({}, /*blockTerm=*/false,
                    {std::string("LD_PRELOAD=") + TERM_WHILE_LOADING, "ASAN_OPTIONS=verify_asan_link_order=0"});
  ASSERT_GT(pid, 0);
  EXPECT_EQ(WaitExit(pid, std::chrono::seconds(60)), 0) << Stderr();
  const std::string reg = ReadFile(root_ / "config/kavello/user.reg");
  EXPECT_NE(reg.find("\\Kavello\\Position]"), std::string::npos) << reg;
}

}  // namespace
