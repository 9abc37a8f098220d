#include "platform/desktop/termination_signals.h"

#include <QSocketNotifier>

#include <csignal>
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

bool TerminationSignals::Install() {
  if (g_pipe[0] >= 0) return true;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) return false;
  notifier_ = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::OnReadable);
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  return sigaction(SIGTERM, &sa, nullptr) == 0 && sigaction(SIGINT, &sa, nullptr) == 0;
}

void TerminationSignals::OnReadable() {
  unsigned char b = 0;
  if (::read(g_pipe[1], &b, 1) == 1) emit terminationRequested(b);
}

}  // namespace kv::desktop
