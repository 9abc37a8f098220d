#include "platform/desktop/single_instance.h"

#include "platform/files/unique_fd.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

namespace kv::desktop {
namespace {
// A request is small; anything longer is not ours and is dropped.
constexpr qsizetype kMaxRequestBytes = 64 * 1024;
constexpr int kBacklog = 8;

// A folder only this user can write: a real directory (no link), owned by the user, without
// group or other permissions. One of ours with wider permissions is narrowed.
bool PrivateFolder(const QByteArray& path) {
  struct stat st {};
  if (lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return false;
  if ((st.st_mode & 077) != 0 && chmod(path.constData(), 0700) != 0) return false;
  return true;
}

// The user id at the other end of a connected local socket; -1 when it cannot be told.
long PeerUid(int fd) {
  if (fd < 0) return -1;
  struct ucred cred {};
  socklen_t len = sizeof cred;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return -1;
  return static_cast<long>(cred.uid);
}

bool PeerIsThisUser(int fd) { return PeerUid(fd) == static_cast<long>(getuid()); }

// The address of a socket file; false when the path does not fit one.
bool MakeAddress(const QByteArray& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, path.constData(), static_cast<size_t>(path.size()));
  return true;
}

using Clock = std::chrono::steady_clock;

// Waits until `events` are ready on fd or the deadline passes; true when ready.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left < 0) return false;
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, static_cast<int>(left));
    if (n > 0) return true;
    if (n == 0) return false;
    if (errno != EINTR) return false;
  }
}

// A connected client socket to the instance's socket file (non-blocking), or -1.
int ConnectTo(const QString& path, Clock::time_point deadline) {
  sockaddr_un address;
  if (!MakeAddress(QFile::encodeName(path), &address)) return -1;
  files::TUniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (fd.get() < 0) return -1;
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    // A full backlog answers EAGAIN at once on local sockets: try again until the deadline.
    while (errno == EAGAIN || errno == EINTR) {
      if (Clock::now() >= deadline) return -1;
      ::usleep(10000);
      if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return fd.release();
    }
    if (errno != EINPROGRESS) return -1;
    if (!WaitFor(fd.get(), POLLOUT, deadline)) return -1;
    int error = 0;
    socklen_t len = sizeof error;
    if (getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) return -1;
  }
  return fd.release();
}
}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
  delete listener_;
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    ::unlink(path_.constData());  // only the file we made: the next instance starts clean
  }
}

QString SingleInstance::SocketPath() {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && PrivateFolder(runtime))
    return QDir(QString::fromLocal8Bit(runtime)).filePath("kavello-instance");
  // No runtime folder: a folder of our own in the temporary folder, made private at creation.
  const QString folder = QDir(QDir::tempPath()).filePath(QStringLiteral("kavello-%1").arg(getuid()));
  const QByteArray encoded = QFile::encodeName(folder);
  if (mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST) return {};
  if (!PrivateFolder(encoded)) return {};  // someone else's: no socket rather than theirs
  return QDir(folder).filePath(QStringLiteral("instance"));
}

bool SingleInstance::AnotherInstanceRunning(int timeoutMs) {
  const QString path = SocketPath();
  if (path.isEmpty()) return false;
  files::TUniqueFd fd(ConnectTo(path, Clock::now() + std::chrono::milliseconds(timeoutMs)));
  return fd.get() >= 0 && PeerIsThisUser(fd.get());
}

bool SingleInstance::SendRequest(const QByteArray& request, int timeoutMs) {
  const QString path = SocketPath();
  if (path.isEmpty()) return false;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  files::TUniqueFd fd(ConnectTo(path, deadline));
  if (fd.get() < 0) return false;
  if (!PeerIsThisUser(fd.get())) return false;  // never hand a path to another user's program
  for (qsizetype sent = 0; sent < request.size();) {
    const ssize_t n = ::send(fd.get(), request.constData() + sent, static_cast<size_t>(request.size() - sent), MSG_NOSIGNAL);
    if (n > 0) {
      sent += n;
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (!WaitFor(fd.get(), POLLOUT, deadline)) return false;
    } else {
      return false;
    }
  }
  // Wait for the receiver to close, so the request is read before this process ends.
  char byte;
  while (WaitFor(fd.get(), POLLIN, deadline)) {
    const ssize_t n = ::recv(fd.get(), &byte, 1, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) break;
  }
  return true;
}

bool SingleInstance::SendFileToInstance(const QString& fileName, int timeoutMs) {
  return SendRequest("open\n" + fileName.toUtf8() + "\n", timeoutMs);
}

bool SingleInstance::AskInstanceToShow(int timeoutMs) { return SendRequest("show\n", timeoutMs); }

bool SingleInstance::Listen() {
  if (listenFd_ >= 0) return true;
  const QString path = SocketPath();
  if (path.isEmpty()) return false;
  const QByteArray encoded = QFile::encodeName(path);
  sockaddr_un address;
  if (!MakeAddress(encoded, &address)) return false;
  files::TUniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (fd.get() < 0) return false;
  int bound = ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (bound != 0 && errno == EADDRINUSE) {
    // Either another instance listens (then we should not be here) or a crashed one left
    // its socket behind: only take it over when nobody answers.
    if (AnotherInstanceRunning(300)) return false;
    ::unlink(encoded.constData());
    bound = ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
  if (bound != 0) return false;
  // Owner-only (the folder is private already): no process-wide umask change for it.
  ::chmod(encoded.constData(), 0600);
  if (::listen(fd.get(), kBacklog) != 0) {
    ::unlink(encoded.constData());
    return false;
  }
  listenFd_ = fd.release();
  path_ = encoded;
  listener_ = new QSocketNotifier(static_cast<qintptr>(listenFd_), QSocketNotifier::Read);
  connect(listener_, &QSocketNotifier::activated, this, &SingleInstance::OnConnection);
  return true;
}

void SingleInstance::OnConnection() {
  for (;;) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;  // EAGAIN: none left; anything else: try at the next notification
    if (!PeerIsThisUser(fd)) {  // only this user's processes may hand over or ask
      ::close(fd);
      continue;
    }
    // The notifier owns the connection: its descriptor is closed when it is done with.
    auto* notifier = new QSocketNotifier(static_cast<qintptr>(fd), QSocketNotifier::Read, this);
    auto* buffer = new QByteArray;
    connect(notifier, &QObject::destroyed, [fd, buffer]() {
      ::close(fd);
      delete buffer;
    });
    connect(notifier, &QSocketNotifier::activated, this, [this, notifier, buffer]() { OnReadable(notifier, buffer); });
  }
}

void SingleInstance::OnReadable(QSocketNotifier* notifier, QByteArray* buffer) {
  const int fd = static_cast<int>(notifier->socket());
  auto finish = [notifier]() {
    notifier->setEnabled(false);
    notifier->deleteLater();  // closes the connection: the sender's wait ends
  };
  char chunk[4096];
  bool closed = false;
  for (;;) {
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n > 0) {
      buffer->append(chunk, n);
      if (buffer->size() > kMaxRequestBytes) return finish();
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) break;
    closed = true;  // the sender closed (or the connection failed): act on what came
    break;
  }
  if (buffer->startsWith("show\n")) {
    finish();
    emit showRequested();
    return;
  }
  if (buffer->startsWith("open\n")) {
    const qsizetype end = buffer->indexOf('\n', 5);
    if (end < 0) {
      if (closed) finish();
      return;  // not complete yet
    }
    const QString name = QString::fromUtf8(buffer->mid(5, end - 5));
    finish();
    emit fileReceived(name);
    return;
  }
  if (closed || buffer->indexOf('\n') >= 0) finish();  // unknown or cut short
}

}  // namespace kv::desktop
