// ProbeOpenGl: whether a GLX context can be made on the X display ($DISPLAY). Loads the
// OpenGL driver into the calling process; the player asks the kavello-glprobe helper
// instead (opengl_probe.cpp), which runs this. Any thread; opens its own connection.
#pragma once

namespace kv::render {

bool ProbeOpenGl();

}  // namespace kv::render
