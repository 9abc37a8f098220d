#include "filters/render/gl_probe.h"

#include <GL/glx.h>
#include <X11/Xlib.h>

namespace kv::render {

bool ProbeOpenGl() {
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

}  // namespace kv::render
