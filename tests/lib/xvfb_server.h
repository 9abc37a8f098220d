// A private X server for test programs that need a real display: Xvfb started with
// -displayfd on a free display number, DISPLAY set to it once it accepts clients, stopped
// when the object goes. -noreset keeps one server for the whole test program (hold the
// object in a function-level static).
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace kv::test {

class TXvfb {
 public:
  TXvfb() = default;
  TXvfb(const TXvfb&) = delete;
  TXvfb& operator=(const TXvfb&) = delete;
  ~TXvfb() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }

  // `screen` as Xvfb takes it, WxHxD. False when Xvfb is missing or did not start.
  bool Start(const char* screen) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_ = fork();
    if (pid_ < 0) {
      close(fds[0]);
      close(fds[1]);
      return false;
    }
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-screen", "0", screen, "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // Xvfb writes the number and the line end in two writes, and dies when the second one
    // finds the pipe closed: read up to the line end before closing.
    char buffer[32] = {};
    size_t n = 0;
    while (n < sizeof buffer - 1 && (n == 0 || buffer[n - 1] != '\n')) {
      const ssize_t got = read(fds[0], buffer + n, sizeof buffer - 1 - n);
      if (got <= 0) break;
      n += static_cast<size_t>(got);
    }
    close(fds[0]);
    if (n == 0 || buffer[n - 1] != '\n') return false;
    setenv("DISPLAY", (":" + std::string(buffer, strcspn(buffer, "\n"))).c_str(), 1);
    return true;
  }

 private:
  pid_t pid_ = -1;
};

}  // namespace kv::test
