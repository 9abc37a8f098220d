// A private PulseAudio server for tests: two null sinks in a temporary runtime directory.
//
// The server is started daemonised (the launching process returns only once the server
// is ready, so nothing polls), with anonymous authentication on its own socket, and the
// test process gets PULSE_SERVER pointing at it so that libpulse and pactl both reach
// it. Sinks: "kv_null_a" ("KavelloNullA") and "kv_null_b" ("KavelloNullB"); B is the
// default sink, so "default first" and "server order" differ.
#pragma once

#include <string>

#include <gtest/gtest.h>

namespace kv::test {

class TPulseTestServer {
 public:
  // Starts the server; false (with Error()) when pulseaudio is missing or fails.
  // After Kill(), starts a new server in the same folder (the same socket path).
  bool Start();
  void Stop();
  // Ends the server with SIGKILL, as a crash or a desktop's restart does, and waits until it
  // is gone; the folder stays for the next Start().
  void Kill();
  bool Running() const { return Pid_ > 0; }
  const std::string& Error() const { return Error_; }
  const std::string& Directory() const { return Directory_; }
  // Runs pactl against the server with the given arguments; returns its standard output,
  // or nullopt-like empty string plus false in ok when it fails.
  std::string Pactl(const std::string& arguments, bool* ok = nullptr) const;

  static TPulseTestServer& Instance();

 private:
  std::string Directory_;
  std::string Error_;
  int Pid_ = 0;
};

// Registers the shared server as a GoogleTest environment (started before the first test,
// stopped after the last). Tests call SkipWithoutServer() first.
class TPulseEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace kv::test

#define KV_REQUIRE_PULSE()                                                              \
  do {                                                                                 \
    if (!::kv::test::TPulseTestServer::Instance().Running())                           \
      GTEST_SKIP() << "no PulseAudio test server: "                                    \
                   << ::kv::test::TPulseTestServer::Instance().Error();                 \
  } while (0)
