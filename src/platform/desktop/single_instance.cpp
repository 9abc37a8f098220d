#include "platform/desktop/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>

namespace kv::desktop {
namespace {
// A request is small; anything longer is not ours and is dropped.
constexpr qint64 kMaxRequestBytes = 64 * 1024;

// A folder only this user can write: a real directory (no link), owned by the user, without
// group or other permissions. One of ours with wider permissions is narrowed.
bool PrivateFolder(const QByteArray& path) {
  struct stat st {};
  if (lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return false;
  if ((st.st_mode & 077) != 0 && chmod(path.constData(), 0700) != 0) return false;
  return true;
}

// The user id at the other end of a connected local socket; -1 when it cannot be told.
long PeerUid(qintptr descriptor) {
  if (descriptor < 0) return -1;
  struct ucred cred {};
  socklen_t len = sizeof cred;
  if (getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return -1;
  return static_cast<long>(cred.uid);
}

bool PeerIsThisUser(const QLocalSocket& socket) { return PeerUid(socket.socketDescriptor()) == static_cast<long>(getuid()); }
}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();
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
  QLocalSocket socket;
  socket.connectToServer(path);
  bool up = socket.waitForConnected(timeoutMs) && PeerIsThisUser(socket);
  socket.abort();
  return up;
}

bool SingleInstance::SendRequest(const QByteArray& request, int timeoutMs) {
  const QString path = SocketPath();
  if (path.isEmpty()) return false;
  QLocalSocket socket;
  socket.connectToServer(path);
  if (!socket.waitForConnected(timeoutMs)) return false;
  if (!PeerIsThisUser(socket)) return false;  // never hand a path to another user's program
  socket.write(request);
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  // Wait for the receiver to close, so the request is read before this process ends.
  socket.waitForDisconnected(timeoutMs);
  return true;
}

bool SingleInstance::SendFileToInstance(const QString& fileName, int timeoutMs) {
  return SendRequest("open\n" + fileName.toUtf8() + "\n", timeoutMs);
}

bool SingleInstance::AskInstanceToShow(int timeoutMs) { return SendRequest("show\n", timeoutMs); }

bool SingleInstance::Listen() {
  if (server_) return server_->isListening();
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  const QString path = SocketPath();
  if (path.isEmpty()) return false;
  if (!server_->listen(path)) {
    // Either another instance listens (then we should not be here) or a crashed one left
    // its socket behind: only take it over when nobody answers.
    if (AnotherInstanceRunning(300)) return false;
    QLocalServer::removeServer(path);
    if (!server_->listen(path)) return false;
  }
  connect(server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
  return true;
}

void SingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    if (!PeerIsThisUser(*socket)) {  // only this user's processes may hand over or ask
      socket->abort();
      socket->deleteLater();
      continue;
    }
    QPointer<QLocalSocket> guard(socket);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, guard]() {
      if (!guard) return;
      QByteArray data = guard->peek(kMaxRequestBytes + 1);
      if (data.size() > kMaxRequestBytes) {
        guard->abort();
        return;
      }
      if (data.startsWith("show\n")) {
        guard->readAll();
        guard->disconnectFromServer();
        emit showRequested();
        return;
      }
      if (data.startsWith("open\n")) {
        int end = data.indexOf('\n', 5);
        if (end < 0) return;  // not complete yet
        guard->readAll();
        QString name = QString::fromUtf8(data.mid(5, end - 5));
        guard->disconnectFromServer();
        emit fileReceived(name);
        return;
      }
      if (data.indexOf('\n') >= 0) guard->abort();  // unknown request
    });
  }
}

}  // namespace kv::desktop
