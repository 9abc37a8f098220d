// Whether this process can make an OpenGL context (GLX on the X display).
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <mutex>

#include "filters/render/mixing_renderer.h"

namespace kv::render {

namespace {

bool Probe() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  int attributes[] = {GLX_RGBA, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, GLX_DOUBLEBUFFER, None};
  bool ok = false;
  if (XVisualInfo* visual = glXChooseVisual(display, DefaultScreen(display), attributes)) {
    if (GLXContext context = glXCreateContext(display, visual, nullptr, True)) {
      ok = true;
      glXDestroyContext(display, context);
    }
    XFree(visual);
  }
  XCloseDisplay(display);
  return ok;
}

}  // namespace

bool OpenGlAvailable() {
  static std::once_flag once;
  static bool available = false;
  std::call_once(once, [] { available = Probe(); });
  return available;
}

}  // namespace kv::render
