#include "pulse_test_server.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace kv::test {

namespace {

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') quoted += "'\\''";
    else quoted += c;
  }
  return quoted + "'";
}

std::string RunCapture(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    *status = -1;
    return output;
  }
  std::array<char, 4096> buffer{};
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  *status = pclose(pipe);
  return output;
}

}  // namespace

TPulseTestServer& TPulseTestServer::Instance() {
  static TPulseTestServer server;
  return server;
}

bool TPulseTestServer::Start() {
  if (Running()) return true;
  int status = 0;
  RunCapture("command -v pulseaudio >/dev/null 2>&1 && command -v pactl >/dev/null 2>&1", &status);
  if (status != 0) {
    Error_ = "pulseaudio or pactl is not installed";
    return false;
  }
  if (Directory_.empty()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kavello-pulse-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
      Error_ = "cannot create a temporary directory";
      return false;
    }
    Directory_ = pattern;
  }
  // HOME and XDG_RUNTIME_DIR only for the server: its cookie, pid file and socket stay in
  // the temporary directory and never touch the user's own sound setup.
  std::string env = "env -u PULSE_SERVER HOME=" + ShellQuote(Directory_) + " XDG_RUNTIME_DIR=" +
                    ShellQuote(Directory_) + " XDG_CONFIG_HOME=" + ShellQuote(Directory_ + "/config");
  std::string command =
      env + " pulseaudio -n --daemonize=yes --use-pid-file=yes --exit-idle-time=-1 --disallow-exit"
            " --disallow-module-loading=no --log-target=" + ShellQuote("file:" + Directory_ + "/server.log") +
      " -L " + ShellQuote("module-null-sink sink_name=kv_null_a sink_properties=device.description=KavelloNullA") +
      " -L " + ShellQuote("module-null-sink sink_name=kv_null_b sink_properties=device.description=KavelloNullB") +
      " -L " + ShellQuote("module-native-protocol-unix auth-anonymous=1") + " 2>&1";
  std::string output = RunCapture(command, &status);
  std::ifstream pidFile(Directory_ + "/pulse/pid");
  int pid = 0;
  if (status != 0 || !(pidFile >> pid) || pid <= 0) {
    Error_ = "pulseaudio did not start: " + output;
    return false;
  }
  Pid_ = pid;
  setenv("PULSE_SERVER", ("unix:" + Directory_ + "/pulse/native").c_str(), 1);
  bool ok = false;
  Pactl("set-default-sink kv_null_b", &ok);
  if (!ok) {
    Error_ = "pactl cannot reach the test server";
    Stop();
    return false;
  }
  return true;
}

void TPulseTestServer::Kill() {
  if (Pid_ <= 0) return;
  kill(Pid_, SIGKILL);
  // Not our child (it daemonised): wait until its process is gone.
  for (int i = 0; i < 500 && kill(Pid_, 0) == 0; ++i) usleep(10000);
  Pid_ = 0;
  std::error_code ignored;
  std::filesystem::remove(Directory_ + "/pulse/native", ignored);
  std::filesystem::remove(Directory_ + "/pulse/pid", ignored);
}

void TPulseTestServer::Stop() {
  if (Pid_ > 0) {
    kill(Pid_, SIGTERM);
    // The server is not our child (it daemonised); give it the chance to remove its
    // socket by asking it to exit, then remove the directory regardless.
    Pid_ = 0;
  }
  if (!Directory_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(Directory_, ignored);
    Directory_.clear();
  }
}

std::string TPulseTestServer::Pactl(const std::string& arguments, bool* ok) const {
  int status = 0;
  std::string output = RunCapture("pactl " + arguments + " 2>&1", &status);
  if (ok) *ok = status == 0;
  return output;
}

void TPulseEnvironment::SetUp() {
  TPulseTestServer& server = TPulseTestServer::Instance();
  if (!server.Start()) std::fprintf(stderr, "PulseAudio tests will be skipped: %s\n", server.Error().c_str());
}

void TPulseEnvironment::TearDown() { TPulseTestServer::Instance().Stop(); }

}  // namespace kv::test
