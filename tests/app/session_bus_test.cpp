// The session bus is used only where the desktop published one: the address, or the
// socket in the runtime folder; a plain file of that name or nothing at all means no bus.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/desktop/session_bus.h"

namespace kv::desktop {
namespace {

namespace fs = std::filesystem;

TEST(SessionBus, FoundByItsAddressOrTheRuntimeSocket_neverByAnOrdinaryFile) {
  char tmpl[] = "/tmp/kavello-bus-XXXXXX";
  const fs::path runtime = mkdtemp(tmpl);
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  EXPECT_FALSE(SessionBusAvailable()) << "empty runtime folder";
  std::ofstream(runtime / "bus") << "not a socket";
  EXPECT_FALSE(SessionBusAvailable()) << "a plain file named bus";
  fs::remove(runtime / "bus");

  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, (runtime / "bus").c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  EXPECT_TRUE(SessionBusAvailable()) << "the runtime folder's bus socket";
  ::close(fd);

  fs::remove_all(runtime);
  setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus", 1);
  EXPECT_TRUE(SessionBusAvailable()) << "an address given";
  setenv("DBUS_SESSION_BUS_ADDRESS", "", 1);
  EXPECT_FALSE(SessionBusAvailable()) << "an empty address and no runtime socket";
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace
}  // namespace kv::desktop
