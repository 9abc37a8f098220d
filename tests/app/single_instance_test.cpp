// The single-instance socket against other local users: without a runtime folder the socket
// lives in a folder only this user can write, and a socket another user put in the place is
// never handed a file. The parts that need a second user run only as root (which can act
// as one); the folder checks run for everyone.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/desktop/single_instance.h"

namespace kv::desktop {
namespace {

namespace fs = std::filesystem;
constexpr uid_t kOtherUser = 65534;  // "nobody"

class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kavello-instance-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    unsetenv("XDG_RUNTIME_DIR");
    setenv("TMPDIR", root_.c_str(), 1);
    static int argc = 1;
    static char arg0[] = "single_instance_test";
    static char* argv[] = {arg0, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  fs::path Folder() const { return root_ / ("kavello-" + std::to_string(getuid())); }
  fs::path root_;
};

TEST_F(SingleInstanceTest, WithoutARuntimeFolder_theSocketIsInAFolderOnlyThisUserCanWrite) {
  const QString path = SingleInstance::SocketPath();
  ASSERT_FALSE(path.isEmpty());
  EXPECT_EQ(QFileInfo(path).absolutePath().toStdString(), Folder().string());
  struct stat st {};
  ASSERT_EQ(stat(Folder().c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, getuid());
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // A folder of ours that others could write is narrowed before use.
  chmod(Folder().c_str(), 0777);
  ASSERT_FALSE(SingleInstance::SocketPath().isEmpty());
  ASSERT_EQ(stat(Folder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // A runtime folder of ours that others could write is narrowed before use as well.
  fs::create_directories(root_ / "shared");
  chmod((root_ / "shared").c_str(), 01777);
  setenv("XDG_RUNTIME_DIR", (root_ / "shared").c_str(), 1);
  EXPECT_EQ(QFileInfo(SingleInstance::SocketPath()).absolutePath().toStdString(), (root_ / "shared").string())
      << "a runtime folder of ours is narrowed and used";
  ASSERT_EQ(stat((root_ / "shared").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u);
  // A listening instance is found, and a file handed to it arrives.
  unsetenv("XDG_RUNTIME_DIR");
  SingleInstance first;
  ASSERT_TRUE(first.Listen());
  QString received;
  QObject::connect(&first, &SingleInstance::fileReceived, [&](const QString& f) { received = f; });
  EXPECT_TRUE(SingleInstance::AnotherInstanceRunning());
  pid_t sender = fork();
  if (sender == 0) _exit(SingleInstance::SendFileToInstance("/films/a.avi") ? 0 : 1);
  QElapsedTimer waited;
  waited.start();
  while (received.isEmpty() && waited.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
  int status = 0;
  waitpid(sender, &status, 0);
  EXPECT_EQ(received, "/films/a.avi");
}

// What a crashed instance leaves (a socket file nobody listens on) is taken over; a request
// that is not ours, or one cut short, is dropped without acting and without blocking a
// later sender.
TEST_F(SingleInstanceTest, AStaleSocketIsTakenOver_andBrokenRequestsAreDropped) {
  const QString path = SingleInstance::SocketPath();
  ASSERT_FALSE(path.isEmpty());
  {
    int s = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.toLocal8Bit().constData());
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(s);  // the file stays, nobody listens
  }
  EXPECT_FALSE(SingleInstance::AnotherInstanceRunning(200));
  auto first = std::make_unique<SingleInstance>();
  ASSERT_TRUE(first->Listen()) << "the stale socket was not taken over";
  std::vector<QString> received;
  int shows = 0;
  QObject::connect(first.get(), &SingleInstance::fileReceived, [&](const QString& f) { received.push_back(f); });
  QObject::connect(first.get(), &SingleInstance::showRequested, [&] { ++shows; });
  auto raw = [&](const std::string& bytes) {
    int c = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.toLocal8Bit().constData());
    ASSERT_EQ(::connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(write(c, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(c);
  };
  raw("delete\n/films/a.avi\n");
  raw("open\n/films/no-end");        // the sender went away mid-request
  raw(std::string(70000, 'x'));     // longer than any request
  pid_t sender = fork();
  if (sender == 0) _exit(SingleInstance::SendFileToInstance("/films/b.avi") && SingleInstance::AskInstanceToShow() ? 0 : 1);
  QElapsedTimer waited;
  waited.start();
  while (shows == 0 && waited.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
  int status = 0;
  waitpid(sender, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(received, std::vector<QString>{"/films/b.avi"});
  EXPECT_EQ(shows, 1);
  first.reset();
  EXPECT_FALSE(QFileInfo::exists(path)) << "a closed instance leaves its socket file behind";
}

TEST_F(SingleInstanceTest, AFolderOfAnotherUserIsRefused) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to make a folder of another user";
  fs::create_directories(Folder());
  ASSERT_EQ(chown(Folder().c_str(), kOtherUser, kOtherUser), 0);
  chmod(Folder().c_str(), 0777);
  EXPECT_TRUE(SingleInstance::SocketPath().isEmpty()) << "the squatted folder was taken";
  SingleInstance instance;
  EXPECT_FALSE(instance.Listen());
  EXPECT_FALSE(SingleInstance::AnotherInstanceRunning(200));
}

TEST_F(SingleInstanceTest, ASocketOfAnotherUserIsNeverHandedTheFile) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  // The other user got a socket into the place (say, while the folder was open to all).
  const QString path = SingleInstance::SocketPath();
  ASSERT_FALSE(path.isEmpty());
  chmod(Folder().c_str(), 0777);
  chmod(root_.c_str(), 0755);  // the other user must reach the folder
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  pid_t squatter = fork();
  if (squatter == 0) {
    close(pipeFds[0]);
    if (setgid(kOtherUser) != 0 || setuid(kOtherUser) != 0) _exit(2);
    int s = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.toLocal8Bit().constData());
    if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(s, 4) != 0) _exit(3);
    chmod(addr.sun_path, 0777);
    if (write(pipeFds[1], "L", 1) != 1) _exit(4);
    for (;;) {  // tell the test every byte anyone sends
      int c = accept(s, nullptr, nullptr);
      if (c < 0) _exit(5);
      char buf[256];
      ssize_t n;
      while ((n = read(c, buf, sizeof buf)) > 0)
        if (write(pipeFds[1], buf, static_cast<size_t>(n)) != n) _exit(6);
      close(c);
    }
  }
  close(pipeFds[1]);
  char ready = 0;
  ASSERT_EQ(read(pipeFds[0], &ready, 1), 1) << "the squatter did not start";
  chmod(Folder().c_str(), 0700);
  EXPECT_FALSE(SingleInstance::AnotherInstanceRunning(500)) << "another user's socket counts as an instance";
  EXPECT_FALSE(SingleInstance::SendFileToInstance("/home/me/private.mkv", 500));
  kill(squatter, SIGKILL);
  waitpid(squatter, nullptr, 0);
  std::string leaked;
  char buf[256];
  ssize_t n;
  while ((n = read(pipeFds[0], buf, sizeof buf)) > 0) leaked.append(buf, static_cast<size_t>(n));
  close(pipeFds[0]);
  EXPECT_EQ(leaked.find("private.mkv"), std::string::npos) << "the path went to another user: " << leaked;
}

}  // namespace
}  // namespace kv::desktop
