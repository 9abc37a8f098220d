// The window a video renderer draws into, as the renderer sees it.
//
// What it is: a small interface between the renderer filters (no window system) and the
// front end that owns the real window (the main window's video panel). The front end
// creates a surface, registers it and gets a handle; the engine passes that handle to the
// renderer as IVideoWindow's owner. The renderer looks the handle up, draws each frame
// with Present(), and places and shows the surface with SetGeometry/SetVisible.
//
// Threads: Present() is called on the renderer's streaming thread; every other call comes
// from the graph's caller (the user-interface thread). An implementation copies nothing it
// does not need: it keeps the shared frame and draws it when its window system asks.
//
// Lifetime: the registry holds weak references. A surface that is gone simply stops being
// found; a renderer holding a shared reference keeps the object (not the window) alive.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/video/rgb_image.h"

namespace kv::video {

struct TSurfaceRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  friend bool operator==(const TSurfaceRect&, const TSurfaceRect&) = default;
};

// A picture for surfaces that draw YUV themselves (OpenGL: the colour conversion and the
// scaling run in a shader). I420, top-down, rows of Width (luma) and (Width + 1) / 2
// (chroma) bytes; already cropped to the source rectangle.
struct TYuvImage {
  int Width = 0;
  int Height = 0;
  bool Bt709 = false;  // the matrix: BT.709 (high definition) or BT.601
  std::vector<uint8_t> Y, U, V;
};

// What a YUV surface draws: the picture stretched into Dest (inside the surface), the
// second picture over the whole of Dest, transparent where it has the key colour
// (OverlayKeyed) or by its opacity byte.
struct TYuvFrame {
  std::shared_ptr<const TYuvImage> Picture;
  TSurfaceRect Dest;
  std::shared_ptr<const TRgbImage> Overlay;  // may be null
  bool OverlayKeyed = true;
  uint32_t KeyPixel = 0;  // 0x00RRGGBB
  int OverlayAlpha = 255;  // constant opacity of the second picture, 0..255
};

class IVideoSurface {
 public:
  virtual ~IVideoSurface() = default;

  // Surfaces that convert and scale on the graphics card say so; the OpenGL mixing
  // renderer then hands them TYuvFrame pictures instead of RGB frames.
  virtual bool SupportsYuv() const { return false; }
  // Shows `frame` until the next one. Streaming thread. Only called when SupportsYuv().
  virtual void PresentYuv(const TYuvFrame& frame) {}

  // Surfaces that show frames from memory of their own (an X server's shared image) lend
  // it, so that the renderer converts straight into it: BeginDirectFrame gives memory for
  // a frame of width x height (the surface's size), or false when it cannot now (the
  // renderer then uses Present); EndDirectFrame(true) shows what was written. Every
  // BeginDirectFrame that succeeded is followed by one EndDirectFrame. Streaming thread.
  virtual bool BeginDirectFrame(int width, int height, TFrameTarget* target) { return false; }
  virtual void EndDirectFrame(bool show) {}

  // Shows `frame` (already at the surface's size) until the next one. Streaming thread.
  virtual void Present(std::shared_ptr<const TRgbImage> frame) = 0;
  // The drawing area's size in pixels (what the renderer scales to). Any thread.
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Position and size inside the owner window (IVideoWindow::SetWindowPosition).
  virtual void SetGeometry(const TSurfaceRect& rect) = 0;
  virtual void SetVisible(bool visible) = 0;
  // Draws the last frame again (an expose; IVideoWindow::NotifyOwnerMessage).
  virtual void Repaint() = 0;
  // Colour of the area no frame covers, 0x00RRGGBB.
  virtual void SetBackground(uint32_t rgb) = 0;
};

// Handle of a registered surface; 0 is "no surface".
using TSurfaceHandle = intptr_t;

// Process-wide table of surfaces by handle. Thread-safe.
TSurfaceHandle RegisterSurface(const std::shared_ptr<IVideoSurface>& surface);
void UnregisterSurface(TSurfaceHandle handle);
// The surface of `handle`, or null when it was never registered or is gone.
std::shared_ptr<IVideoSurface> FindSurface(TSurfaceHandle handle);

}  // namespace kv::video
