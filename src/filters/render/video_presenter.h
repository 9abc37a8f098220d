// TVideoPresenter: the drawing half of the video renderers, without the filter around it.
//
// What it is: it turns each picture the renderer is given into an RGB frame of its
// surface's size (crop to the source rectangle, scale into the destination rectangle,
// second picture mixed over it) and hands the frame to the surface the owner handle
// names. It keeps a copy of the last picture so that a change of zoom, window size or
// second picture while paused is redrawn at once.
//
// Threads: Present() runs on the renderer's streaming thread, SetOverlay() on the second
// input's streaming thread, everything else on the graph's caller (user-interface) thread.
// Mutex_ guards all state; conversions run under it (one frame's work), and the surface
// is called after it is released.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "filters/render/video_converter.h"
#include "filters/render/video_format.h"
#include "platform/com/hresult.h"
#include "platform/video/video_surface.h"

namespace kv::render {

class TVideoPresenter {
 public:
  TVideoPresenter();
  ~TVideoPresenter();

  // The connection's format; resets the source rectangle to the whole video and forgets
  // the last picture.
  void SetFormat(const TVideoFormat& format);
  void ClearFormat();
  std::optional<TVideoFormat> Format() const;

  // Draws one picture (a sample's bytes in the connection's layout) and keeps it for
  // redraws: with `keep` (an owner of the bytes, released when the presenter lets go of
  // them) in place, else as a copy. A buffer too small for the layout is ignored. Returns
  // whether a frame was made.
  bool Present(const uint8_t* data, size_t size, std::shared_ptr<const void> keep = nullptr);
  // Draws a picture whose planes lie elsewhere (a decoder's picture carried in place) and
  // keeps it for redraws while `keep` holds it. The planes have the connection's layout
  // and size. Returns whether a frame was made.
  bool Present(const TPicturePlanes& picture, std::shared_ptr<const void> keep);
  // Lets go of the kept picture (a stopping renderer gives its samples back).
  void ForgetPicture();
  // Sets the second picture (shown until replaced or cleared); ARGB32 blends by its
  // opacity byte, any other layout is keyed with the colour key.
  void SetOverlay(const uint8_t* data, size_t size, const TPictureLayout& layout);
  void ClearOverlay();

  // Source rectangle in video pixels: E_INVALIDARG unless inside the video and non-empty.
  HRESULT SetSourceRect(const TCropRect& rect);
  TCropRect SourceRect() const;
  void ResetSourceRect();
  // Destination rectangle inside the window: default (empty) follows the window's size.
  HRESULT SetDestRect(const TCropRect& rect);
  TCropRect DestRect() const;
  void ResetDestRect();
  // Keep the picture's shape inside the window (bars around it) instead of stretching.
  void SetLetterbox(bool letterbox);
  bool Letterbox() const;

  // The window: the surface the owner handle names, its place and visibility.
  void SetOwner(video::TSurfaceHandle owner);
  video::TSurfaceHandle Owner() const;
  HRESULT SetWindowPosition(const video::TSurfaceRect& rect);
  video::TSurfaceRect WindowPosition() const;
  void SetVisible(bool visible);
  bool Visible() const;
  void Repaint();

  void SetColorKey(uint32_t colorRef);
  uint32_t ColorKey() const;
  void SetOverlayAlpha(int alpha);  // 0..255
  int OverlayAlpha() const;

  // Hand pictures to surfaces that can draw YUV (SupportsYuv) as YUV: the colour
  // conversion, scaling and mixing then run on the graphics card. Off by default.
  void SetYuvOutput(bool yuv);
  bool YuvOutput() const;

  int64_t FramesPresented() const;
  // The last frame made (null before the first, and while the surface takes frames
  // straight into its own memory); for tests and the overlay mixer's output.
  std::shared_ptr<const video::TRgbImage> LastFrame() const;

 private:
  std::shared_ptr<video::TRgbImage> TakeBufferLocked(int width, int height);
  void OutputSizeLocked(int* width, int* height) const;
  TCropRect EffectiveDestLocked(int width, int height) const;
  // Converts the kept picture; null when there is nothing to draw.
  std::shared_ptr<video::TRgbImage> ComposeLocked();
  std::optional<video::TYuvFrame> ComposeYuvLocked();
  // Converts the kept picture straight into memory the surface lends (see
  // IVideoSurface::BeginDirectFrame) and shows it; false when the surface lends none.
  bool ComposeDirectLocked(video::IVideoSurface& surface);
  bool YuvSurfaceLocked() const;
  // Makes the next frame (RGB or YUV) and hands it over; Mutex_ held on entry, released.
  bool ComposeAndShow(std::unique_lock<std::mutex>& lock);
  void Redraw();
  void Show(const std::shared_ptr<video::TRgbImage>& frame, const std::shared_ptr<video::IVideoSurface>& surface);

  mutable std::mutex Mutex_;  // guards everything below
  std::optional<TVideoFormat> Format_;
  TCropRect Source_;
  TCropRect Dest_;  // empty: the whole window
  bool Letterbox_ = false;
  std::vector<uint8_t> Picture_;     // copy of the last picture when it was not kept in place
  TPicturePlanes Planes_;            // the last picture (in Picture_ or owned by Keep_)
  std::shared_ptr<const void> Keep_;  // owner of Planes_ when kept in place
  bool HavePicture_ = false;
  std::vector<uint8_t> Overlay_;
  std::optional<TPictureLayout> OverlayLayout_;
  TVideoConverter Converter_;
  TVideoConverter OverlayConverter_;
  video::TRgbImage OverlayImage_;
  std::shared_ptr<video::IVideoSurface> Surface_;
  video::TSurfaceHandle Owner_ = 0;
  video::TSurfaceRect Window_;
  bool Visible_ = false;
  uint32_t ColorKey_ = 0;
  int OverlayAlpha_ = 255;
  std::vector<std::shared_ptr<video::TRgbImage>> Pool_;  // frames reused once the surface let go
  bool YuvOutput_ = false;
  std::vector<std::shared_ptr<video::TYuvImage>> YuvPool_;
  std::shared_ptr<video::TRgbImage> OverlayRgb_;  // the second picture at its own size (YUV output)
  std::shared_ptr<video::TRgbImage> Last_;
  int64_t Presented_ = 0;
};

}  // namespace kv::render
