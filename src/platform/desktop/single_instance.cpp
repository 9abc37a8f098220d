#include "platform/desktop/single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <unistd.h>

namespace kv::desktop {
namespace {
// A request is small; anything longer is not ours and is dropped.
constexpr qint64 kMaxRequestBytes = 64 * 1024;
}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();
}

QString SingleInstance::SocketPath() {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists())
    return QDir(QString::fromLocal8Bit(runtime)).filePath("kavello-instance");
  return QDir(QDir::tempPath()).filePath(QStringLiteral("kavello-instance-%1").arg(getuid()));
}

bool SingleInstance::AnotherInstanceRunning(int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(SocketPath());
  bool up = socket.waitForConnected(timeoutMs);
  if (up) socket.disconnectFromServer();
  return up;
}

bool SingleInstance::SendRequest(const QByteArray& request, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(SocketPath());
  if (!socket.waitForConnected(timeoutMs)) return false;
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
