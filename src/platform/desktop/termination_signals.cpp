#include "platform/desktop/termination_signals.h"

#include <QSocketNotifier>

#include <csignal>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kv::desktop {
namespace {
int g_pipe[2] = {-1, -1};

void OnSignal(int sig) {
  unsigned char b = static_cast<unsigned char>(sig);
  if (g_pipe[0] >= 0) {
    ssize_t ignored = ::write(g_pipe[0], &b, 1);
    (void)ignored;
  }
}
}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {}

TerminationSignals::~TerminationSignals() {
  if (g_pipe[0] >= 0) {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
  }
}

bool InstallTerminationHandlers() {
  if (g_pipe[0] >= 0) return true;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) return false;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  if (sigaction(SIGTERM, &sa, nullptr) != 0 || sigaction(SIGINT, &sa, nullptr) != 0) return false;
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  return pthread_sigmask(SIG_UNBLOCK, &set, nullptr) == 0;
}

bool TerminationSignals::Install() {
  if (notifier_) return true;
  if (!InstallTerminationHandlers()) return false;
  // A signal that came before this point is a byte in the socket already: the notifier
  // reports it at its first look.
  notifier_ = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::OnReadable);
  return true;
}

void TerminationSignals::OnReadable() {
  unsigned char b = 0;
  if (::read(g_pipe[1], &b, 1) == 1) emit terminationRequested(b);
}

}  // namespace kv::desktop
