// The program's front door ("kavello"): it blocks SIGTERM and SIGINT and replaces itself with
// the player ("kavello-player" in the same folder), keeping its process, arguments and
// environment.
//
// Why: a blocked signal stays pending across execve. Before the player's main runs, the
// loader maps and relocates some 170 libraries (Qt, FFmpeg and theirs) and runs their
// constructors; a SIGTERM in that time would kill it with status 143 whatever the player
// does. Held back here, it is delivered the moment the player's main has installed its
// handlers and unblocks the two signals (kv::desktop::InstallTerminationHandlers), and the
// player ends through its normal close path. This program loads nothing but the C library,
// so the time in which a signal can still kill it outright is a small fraction of the
// player's.
// Plain POSIX, one thread, no allocation.
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {
constexpr char KPlayerName[] = "kavello-player";
}

int main(int argc, char** argv) {
  (void)argc;
  sigset_t held;
  sigemptyset(&held);
  sigaddset(&held, SIGTERM);
  sigaddset(&held, SIGINT);
  sigprocmask(SIG_BLOCK, &held, nullptr);

  // The player beside this program (links resolved, so /usr/bin/kavello -> /opt/... works).
  char path[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  char* slash = nullptr;
  if (n > 0) {
    path[n] = '\0';
    slash = std::strrchr(path, '/');
  }
  if (!slash || static_cast<size_t>(slash + 1 - path) + sizeof KPlayerName > sizeof path) {
    std::fprintf(stderr, "kavello: cannot find the program's folder\n");
    return 127;
  }
  std::memcpy(slash + 1, KPlayerName, sizeof KPlayerName);
  ::execv(path, argv);
  std::fprintf(stderr, "kavello: cannot start %s: %s\n", path, std::strerror(errno));
  return 127;
}
