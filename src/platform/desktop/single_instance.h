// One running player per user, and handing a file to it.
//
// What it is: when several instances are not allowed, the first process listens on a
// per-user local socket; a later process finds it there, hands over its file name (or asks
// it to show itself) and ends without a window. This replaces a process-list count plus a
// window message: it cannot be fooled by a process of another user or of another program
// with the same name, and a stale socket of a crashed instance is taken over.
//
// Wire form, one request per connection, UTF-8: "open\n" + full path + "\n", or "show\n".
// The receiver treats an open request like the start, characters and end of the window
// message protocol: one buffer, filled from the request, acted upon at its end.
//
// Plain local sockets watched by QSocketNotifier rather than Qt Network's local server:
// that library (and the proxy library it brings) would cost every run about 1 MB of memory
// for one small request per hand-over.
//
// Threads: user-interface thread (Qt event loop). Owned by the main window.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace kv::desktop {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit SingleInstance(QObject* parent = nullptr);
  ~SingleInstance() override;
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // The socket name: $XDG_RUNTIME_DIR/kavello-instance when that folder is the user's own
  // and private, else "instance" in a folder kavello-UID of the temporary folder, created
  // 0700 and used only when it is a real folder of this user (then narrowed to 0700).
  // Empty when no such folder can be had: the program then runs without the socket.
  // Both ends check that the peer is a process of the same user (SO_PEERCRED).
  static QString SocketPath();

  // True when a listening instance answers on the socket.
  static bool AnotherInstanceRunning(int timeoutMs = 1000);
  // Sends the request to the running instance; false when none answers.
  static bool SendFileToInstance(const QString& fileName, int timeoutMs = 2000);
  static bool AskInstanceToShow(int timeoutMs = 2000);

  // Starts listening; removes a stale socket left by a crashed instance. False on failure.
  bool Listen();

 signals:
  void fileReceived(const QString& fileName);
  void showRequested();

 private:
  void OnConnection();
  // Reads what a connection sent; acts on a whole request and closes the connection.
  void OnReadable(QSocketNotifier* notifier, QByteArray* buffer);
  static bool SendRequest(const QByteArray& request, int timeoutMs);
  int listenFd_ = -1;
  QSocketNotifier* listener_ = nullptr;
  QByteArray path_;  // the socket file this instance made (removed when it closes)
};

}  // namespace kv::desktop
