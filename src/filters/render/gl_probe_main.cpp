// kavello-glprobe: exits 0 when an OpenGL context can be made on $DISPLAY, 1 when not.
// Run by the player (opengl_probe.cpp) so that the driver never loads into it unasked.
#include "filters/render/gl_probe.h"

int main() { return kv::render::ProbeOpenGl() ? 0 : 1; }
