// Whether this process can make an OpenGL context (GLX on the X display).
//
// Loading the OpenGL driver costs a player that never uses it some 60 MiB (Mesa's software
// renderer brings LLVM), so the question is put to a small helper program beside ours
// (kavello-glprobe, gl_probe_main.cpp) whose exit code answers it. Only where the helper
// cannot be started does the probe run in this process. Without an X display ($DISPLAY
// unset or empty, as in the command-line analysis) no GLX context can be made, and the
// answer is no without starting anything.
// The answer is kept on the display's root window for as long as the server runs (see
// gl_probe.h), so that the helper's ~40 ms of processor (loading the driver) is paid once
// per display, not at every start.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>
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

constexpr char KAnswerProperty[] = "_KAVELLO_OPENGL";

std::string ThisHost() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) return {};
  return host;
}

}  // namespace

std::optional<bool> RememberedOpenGl(Display* display) {
  const std::string host = ThisHost();
  if (!display || host.empty()) return std::nullopt;
  Atom property = XInternAtom(display, KAnswerProperty, True);
  if (property == None) return std::nullopt;  // nobody asked on this server yet
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  std::optional<bool> answer;
  if (XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 64, False, XA_STRING, &type, &format,
                         &items, &after, &data) == Success &&
      data && type == XA_STRING && format == 8) {
    const std::string value(reinterpret_cast<const char*>(data), items);
    // "<host> yes" or "<host> no": another host's libraries may answer otherwise.
    if (value == host + " yes") answer = true;
    else if (value == host + " no") answer = false;
  }
  if (data) XFree(data);
  return answer;
}

void RememberOpenGl(Display* display, bool available) {
  const std::string host = ThisHost();
  if (!display || host.empty()) return;
  const std::string value = host + (available ? " yes" : " no");
  XChangeProperty(display, DefaultRootWindow(display), XInternAtom(display, KAnswerProperty, False), XA_STRING, 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(value.data()),
                  static_cast<int>(value.size()));
  XSync(display, False);
}

bool OpenGlAvailable() {
  static std::once_flag once;
  static bool available = false;
  std::call_once(once, [] {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return;  // GLX needs an X display: nothing to probe
    Display* display = XOpenDisplay(nullptr);
    if (!display) return;  // no server to make a context on
    if (std::optional<bool> remembered = RememberedOpenGl(display)) {
      available = *remembered;
    } else {
      int answer = ProbeInHelper();
      available = answer >= 0 ? answer == 1 : ProbeOpenGl();
      // Only the helper's answer is kept: a probe in this process that failed may have
      // failed for this process alone.
      if (answer >= 0) RememberOpenGl(display, available);
    }
    XCloseDisplay(display);
  });
  return available;
}

}  // namespace kv::render
