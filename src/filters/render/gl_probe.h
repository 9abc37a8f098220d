// ProbeOpenGl: whether a GLX context can be made on the X display ($DISPLAY). Loads the
// OpenGL driver into the calling process; the player asks the kavello-glprobe helper
// instead (opengl_probe.cpp), which runs this. Any thread; opens its own connection.
#pragma once

#include <optional>

using Display = struct _XDisplay;

namespace kv::render {

bool ProbeOpenGl();

// The answer kept on `display`'s root window ("_KAVELLO_OPENGL", "<host> yes|no") by the
// first player that asked on this server; nullopt when none is kept for this host. It lasts
// as long as the server runs: a driver changed meanwhile is noticed at the next session.
std::optional<bool> RememberedOpenGl(Display* display);
void RememberOpenGl(Display* display, bool available);

}  // namespace kv::render
