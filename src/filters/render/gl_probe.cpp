#include "filters/render/gl_probe.h"

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

namespace kv::render {

bool ProbeOpenGl() {
  // The GLX entry points come from libGL loaded here, not linked: a program linked to it
  // maps the library (and its dispatch layer) at every start, whether it draws with OpenGL
  // or not.
  void* gl = dlopen("libGL.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!gl) return false;
  auto chooseVisual = reinterpret_cast<decltype(&glXChooseVisual)>(dlsym(gl, "glXChooseVisual"));
  auto createContext = reinterpret_cast<decltype(&glXCreateContext)>(dlsym(gl, "glXCreateContext"));
  auto destroyContext = reinterpret_cast<decltype(&glXDestroyContext)>(dlsym(gl, "glXDestroyContext"));
  Display* display = chooseVisual && createContext && destroyContext ? XOpenDisplay(nullptr) : nullptr;
  bool ok = false;
  if (display) {
    int attributes[] = {GLX_RGBA, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, GLX_DOUBLEBUFFER, None};
    if (XVisualInfo* visual = chooseVisual(display, DefaultScreen(display), attributes)) {
      if (GLXContext context = createContext(display, visual, nullptr, True)) {
        ok = true;
        destroyContext(display, context);
      }
      XFree(visual);
    }
    XCloseDisplay(display);
  }
  // Left loaded: a driver's threads and exit handlers may still refer to it.
  return ok;
}

}  // namespace kv::render
