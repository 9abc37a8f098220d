// Components/GlSurface.so: the OpenGL video surface, loaded by the player the first time the
// OpenGL renderer is chosen. One export: makes the widget as a child of `parent` and hands
// back the surface the caller registers in its own surface table.
#include "qtsurface/gl_video_surface_widget.h"

extern "C" __attribute__((visibility("default"))) QWidget* KavelloCreateGlSurface(
    QWidget* parent, std::shared_ptr<kv::video::IVideoSurface>* surface) {
  if (!surface) return nullptr;
  auto* widget = new kv::qtsurface::TGlVideoSurfaceWidget(parent);
  *surface = widget->Surface();
  return widget;
}
