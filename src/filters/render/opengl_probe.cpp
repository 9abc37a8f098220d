// Whether this process can make an OpenGL context (GLX on the X display).
//
// Loading the OpenGL driver costs a player that never uses it some 60 MiB (Mesa's software
// renderer brings LLVM), so the question is put to a small helper program beside ours
// (kavello-glprobe, gl_probe_main.cpp) whose exit code answers it. Only where the helper
// cannot be started does the probe run in this process. Without an X display ($DISPLAY
// unset or empty, as in the command-line analysis) no GLX context can be made, and the
// answer is no without starting anything.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>

#include "filters/render/gl_probe.h"
#include "filters/render/mixing_renderer.h"
#include "platform/module/program_directory.h"

extern char** environ;

namespace kv::render {

namespace {

// 1: a context can be made, 0: not, -1: the helper could not be run.
int ProbeInHelper() {
  const std::string helper = ProgramDirectory() + "/kavello-glprobe";
  if (access(helper.c_str(), X_OK) != 0) return -1;
  char* argv[] = {const_cast<char*>(helper.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, helper.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (!WIFEXITED(status)) return -1;
  switch (WEXITSTATUS(status)) {
    case 0: return 1;
    case 1: return 0;
    default: return -1;
  }
}

}  // namespace

bool OpenGlAvailable() {
  static std::once_flag once;
  static bool available = false;
  std::call_once(once, [] {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return;  // GLX needs an X display: nothing to probe
    int answer = ProbeInHelper();
    available = answer >= 0 ? answer == 1 : ProbeOpenGl();
  });
  return available;
}

}  // namespace kv::render
