#include "filters/render/video_presenter.h"

#include <algorithm>
#include <cstring>

#include "filters/render/picture_blend.h"
#include "filters/render/renderer_interfaces.h"

namespace kv::render {

namespace {

constexpr size_t KPoolSize = 3;  // one shown, one being drawn, one spare

bool Inside(const TCropRect& r, int width, int height) {
  return r.Width > 0 && r.Height > 0 && r.Left >= 0 && r.Top >= 0 && r.Left + r.Width <= width &&
         r.Top + r.Height <= height;
}

// Paints the frame black around `dest` (the bars of a letterboxed or zoomed picture).
void FillOutside(const video::TFrameTarget& target, const TCropRect& dest) {
  constexpr uint32_t KBlack = 0xFF000000U;
  for (int y = 0; y < target.Height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(target.Pixels + static_cast<size_t>(y) * target.Stride);
    if (y < dest.Top || y >= dest.Top + dest.Height) {
      std::fill_n(row, target.Width, KBlack);
    } else {
      std::fill_n(row, dest.Left, KBlack);
      std::fill(row + dest.Left + dest.Width, row + target.Width, KBlack);
    }
  }
}

}  // namespace

TVideoPresenter::TVideoPresenter() : ColorKey_(KDefaultColorKey) {
  OverlayConverter_.SetPointSampling(true);
}

TVideoPresenter::~TVideoPresenter() = default;

void TVideoPresenter::SetFormat(const TVideoFormat& format) {
  std::shared_ptr<const void> kept;
  std::lock_guard<std::mutex> lock(Mutex_);
  Format_ = format;
  Source_ = {0, 0, format.VisibleWidth, format.VisibleHeight};
  HavePicture_ = false;
  Planes_ = {};
  kept = std::move(Keep_);
}

void TVideoPresenter::ClearFormat() {
  std::shared_ptr<const void> kept;
  std::lock_guard<std::mutex> lock(Mutex_);
  Format_.reset();
  HavePicture_ = false;
  Planes_ = {};
  Picture_.clear();
  kept = std::move(Keep_);
}

std::optional<TVideoFormat> TVideoPresenter::Format() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return Format_;
}

bool TVideoPresenter::Present(const uint8_t* data, size_t size, std::shared_ptr<const void> keep) {
  std::shared_ptr<const void> previous;
  std::unique_lock<std::mutex> lock(Mutex_);
  if (!Format_ || !data || size < PictureBytes(Format_->Picture)) return false;
  size_t bytes = PictureBytes(Format_->Picture);
  previous = std::move(Keep_);  // given back after the lock is released (declared first)
  if (keep) {
    // Kept in place: no copy of a whole picture per frame.
    Keep_ = std::move(keep);
  } else {
    Picture_.resize(bytes);
    std::memcpy(Picture_.data(), data, bytes);
    data = Picture_.data();
  }
  HavePicture_ = PlanesOf(data, bytes, Format_->Picture, &Planes_);
  return ComposeAndShow(lock);
}

bool TVideoPresenter::Present(const TPicturePlanes& picture, std::shared_ptr<const void> keep) {
  std::shared_ptr<const void> previous;
  std::unique_lock<std::mutex> lock(Mutex_);
  if (!Format_ || !keep || !picture.Data[0]) return false;
  previous = std::move(Keep_);  // given back after the lock is released (declared first)
  Keep_ = std::move(keep);
  Planes_ = picture;
  HavePicture_ = true;
  return ComposeAndShow(lock);
}

void TVideoPresenter::ForgetPicture() {
  std::shared_ptr<const void> kept;
  std::lock_guard<std::mutex> lock(Mutex_);
  if (Keep_) {
    kept = std::move(Keep_);
    HavePicture_ = false;
    Planes_ = {};
  }
}

void TVideoPresenter::SetOverlay(const uint8_t* data, size_t size, const TPictureLayout& layout) {
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    size_t bytes = PictureBytes(layout);
    if (!data || bytes == 0 || size < bytes) return;
    // A second stream often repeats the same page for every frame: redraw only on change.
    if (OverlayLayout_ && OverlayLayout_->Layout == layout.Layout && OverlayLayout_->Width == layout.Width &&
        OverlayLayout_->Height == layout.Height && Overlay_.size() == bytes &&
        std::memcmp(Overlay_.data(), data, bytes) == 0) {
      return;
    }
    Overlay_.assign(data, data + bytes);
    OverlayLayout_ = layout;
    OverlayRgb_.reset();
  }
  Redraw();
}

void TVideoPresenter::ClearOverlay() {
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    if (!OverlayLayout_) return;
    OverlayLayout_.reset();
    Overlay_.clear();
    OverlayRgb_.reset();
  }
  Redraw();
}

HRESULT TVideoPresenter::SetSourceRect(const TCropRect& rect) {
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    if (!Format_) return VFW_E_NOT_CONNECTED;
    if (!Inside(rect, Format_->VisibleWidth, Format_->VisibleHeight)) return E_INVALIDARG;
    if (rect == Source_) return S_OK;
    Source_ = rect;
  }
  Redraw();
  return S_OK;
}

TCropRect TVideoPresenter::SourceRect() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return Source_;
}

void TVideoPresenter::ResetSourceRect() {
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    if (!Format_) return;
    Source_ = {0, 0, Format_->VisibleWidth, Format_->VisibleHeight};
  }
  Redraw();
}

HRESULT TVideoPresenter::SetDestRect(const TCropRect& rect) {
  if (rect.Width <= 0 || rect.Height <= 0) return E_INVALIDARG;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Dest_ = rect;
  }
  Redraw();
  return S_OK;
}

TCropRect TVideoPresenter::DestRect() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  int w = 0, h = 0;
  OutputSizeLocked(&w, &h);
  return EffectiveDestLocked(w, h);
}

void TVideoPresenter::ResetDestRect() {
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Dest_ = {};
  }
  Redraw();
}

void TVideoPresenter::SetLetterbox(bool letterbox) {
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Letterbox_ = letterbox;
  }
  Redraw();
}

bool TVideoPresenter::Letterbox() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return Letterbox_;
}

void TVideoPresenter::SetOwner(video::TSurfaceHandle owner) {
  std::shared_ptr<video::IVideoSurface> surface = owner ? video::FindSurface(owner) : nullptr;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Owner_ = owner;
    Surface_ = surface;
    if (Surface_) {
      Surface_->SetBackground(0);
      if (Window_.Width > 0) Surface_->SetGeometry(Window_);
      Surface_->SetVisible(Visible_);
    }
  }
  Redraw();
}

video::TSurfaceHandle TVideoPresenter::Owner() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return Owner_;
}

HRESULT TVideoPresenter::SetWindowPosition(const video::TSurfaceRect& rect) {
  if (rect.Width < 0 || rect.Height < 0) return E_INVALIDARG;
  std::shared_ptr<video::IVideoSurface> surface;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Window_ = rect;
    surface = Surface_;
  }
  if (surface) surface->SetGeometry(rect);
  Redraw();
  return S_OK;
}

video::TSurfaceRect TVideoPresenter::WindowPosition() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return Window_;
}

void TVideoPresenter::SetVisible(bool visible) {
  std::shared_ptr<video::IVideoSurface> surface;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Visible_ = visible;
    surface = Surface_;
  }
  if (surface) surface->SetVisible(visible);
}

bool TVideoPresenter::Visible() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return Visible_;
}

void TVideoPresenter::Repaint() {
  std::shared_ptr<video::IVideoSurface> surface;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    surface = Surface_;
  }
  if (surface) surface->Repaint();
}

void TVideoPresenter::SetColorKey(uint32_t colorRef) {
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    ColorKey_ = colorRef & 0x00FFFFFFU;
  }
  Redraw();
}

uint32_t TVideoPresenter::ColorKey() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return ColorKey_;
}

void TVideoPresenter::SetOverlayAlpha(int alpha) {
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    OverlayAlpha_ = std::clamp(alpha, 0, 255);
  }
  Redraw();
}

int TVideoPresenter::OverlayAlpha() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return OverlayAlpha_;
}

int64_t TVideoPresenter::FramesPresented() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return Presented_;
}

std::shared_ptr<const video::TRgbImage> TVideoPresenter::LastFrame() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return Last_;
}

void TVideoPresenter::OutputSizeLocked(int* width, int* height) const {
  if (Surface_ && Surface_->Width() > 0 && Surface_->Height() > 0) {
    *width = Surface_->Width();
    *height = Surface_->Height();
  } else if (Window_.Width > 0 && Window_.Height > 0) {
    *width = Window_.Width;
    *height = Window_.Height;
  } else if (Format_) {
    *width = Format_->VisibleWidth;
    *height = Format_->VisibleHeight;
  } else {
    *width = *height = 0;
  }
}

TCropRect TVideoPresenter::EffectiveDestLocked(int width, int height) const {
  TCropRect dest = Dest_.Width > 0 ? Dest_ : TCropRect{0, 0, width, height};
  if (Letterbox_ && Source_.Width > 0 && Source_.Height > 0 && dest.Width > 0 && dest.Height > 0) {
    // Fit the source's shape into the destination, centred.
    int64_t byWidth = static_cast<int64_t>(dest.Width) * Source_.Height;
    int64_t byHeight = static_cast<int64_t>(dest.Height) * Source_.Width;
    if (byWidth > byHeight) {
      int w = static_cast<int>(byHeight / Source_.Height);
      dest.Left += (dest.Width - w) / 2;
      dest.Width = std::max(1, w);
    } else if (byHeight > byWidth) {
      int h = static_cast<int>(byWidth / Source_.Width);
      dest.Top += (dest.Height - h) / 2;
      dest.Height = std::max(1, h);
    }
  }
  // Clip to the frame.
  int right = std::min(dest.Left + dest.Width, width);
  int bottom = std::min(dest.Top + dest.Height, height);
  dest.Left = std::clamp(dest.Left, 0, width);
  dest.Top = std::clamp(dest.Top, 0, height);
  dest.Width = std::max(0, right - dest.Left);
  dest.Height = std::max(0, bottom - dest.Top);
  return dest;
}

std::shared_ptr<video::TRgbImage> TVideoPresenter::TakeBufferLocked(int width, int height) {
  std::shared_ptr<video::TRgbImage> buffer;
  for (const auto& candidate : Pool_) {
    if (candidate.use_count() == 1) {  // nobody else (surface, Last_) holds it
      buffer = candidate;
      break;
    }
  }
  if (!buffer) {
    buffer = std::make_shared<video::TRgbImage>();
    if (Pool_.size() < KPoolSize) Pool_.push_back(buffer);
  }
  buffer->Resize(width, height);
  return buffer;
}

std::shared_ptr<video::TRgbImage> TVideoPresenter::ComposeLocked() {
  if (!Format_ || !HavePicture_) return nullptr;
  int width = 0, height = 0;
  OutputSizeLocked(&width, &height);
  if (width <= 0 || height <= 0) return nullptr;
  TCropRect dest = EffectiveDestLocked(width, height);
  if (dest.Width <= 0 || dest.Height <= 0) return nullptr;
  Last_.reset();  // let the pool reuse the previous frame unless the surface holds it
  std::shared_ptr<video::TRgbImage> frame = TakeBufferLocked(width, height);
  if (dest.Width != width || dest.Height != height) frame->Fill(0);
  TCropRect crop = Source_;
  crop.Left += Format_->VisibleLeft;
  crop.Top += Format_->VisibleTop;
  if (!Converter_.Convert(Planes_, Format_->Picture, crop, *frame, dest)) return nullptr;
  if (OverlayLayout_) {
    // The second picture covers the video area, unaffected by the zoom.
    OverlayImage_.Resize(width, height);
    uint32_t key = video::ColorRefToPixel(ColorKey_);
    OverlayImage_.Fill(key);
    bool alpha = OverlayLayout_->Layout == TPixelLayout::ARGB32;
    if (alpha) OverlayImage_.Fill(0);
    if (OverlayConverter_.Convert(Overlay_.data(), Overlay_.size(), *OverlayLayout_, {}, OverlayImage_, dest)) {
      if (alpha) {
        BlendAlpha(*frame, OverlayImage_);  // outside dest the overlay is fully transparent
      } else if (OverlayAlpha_ >= 255) {
        BlendKeyed(*frame, OverlayImage_, key);
      } else {
        BlendConstant(*frame, OverlayImage_, OverlayAlpha_, true, key);
      }
    }
  }
  Last_ = frame;
  return frame;
}

bool TVideoPresenter::ComposeDirectLocked(video::IVideoSurface& surface) {
  if (!Format_ || !HavePicture_) return false;
  int width = 0, height = 0;
  OutputSizeLocked(&width, &height);
  if (width <= 0 || height <= 0) return false;
  TCropRect dest = EffectiveDestLocked(width, height);
  if (dest.Width <= 0 || dest.Height <= 0) return false;
  video::TFrameTarget target;
  if (!surface.BeginDirectFrame(width, height, &target)) return false;
  if (dest.Width != width || dest.Height != height) FillOutside(target, dest);
  TCropRect crop = Source_;
  crop.Left += Format_->VisibleLeft;
  crop.Top += Format_->VisibleTop;
  bool ok = Converter_.Convert(Planes_, Format_->Picture, crop, target, dest);
  surface.EndDirectFrame(ok);
  if (ok) {
    // The frame on screen lives in the surface now; frames of our own are not needed
    // while it takes them this way.
    Last_.reset();
    Pool_.clear();
  }
  return ok;
}

bool TVideoPresenter::YuvSurfaceLocked() const { return YuvOutput_ && Surface_ && Surface_->SupportsYuv(); }

bool TVideoPresenter::ComposeAndShow(std::unique_lock<std::mutex>& lock) {
  std::shared_ptr<video::IVideoSurface> surface = Surface_;
  if (YuvSurfaceLocked()) {
    std::optional<video::TYuvFrame> frame = ComposeYuvLocked();
    if (!frame) return false;
    ++Presented_;
    lock.unlock();
    surface->PresentYuv(*frame);
    return true;
  }
  // The second picture is mixed in a frame of our own (it is rarely there).
  if (surface && !OverlayLayout_ && ComposeDirectLocked(*surface)) {
    ++Presented_;
    return true;
  }
  std::shared_ptr<video::TRgbImage> frame = ComposeLocked();
  if (!frame) return false;
  ++Presented_;
  lock.unlock();
  Show(frame, surface);
  return true;
}

std::optional<video::TYuvFrame> TVideoPresenter::ComposeYuvLocked() {
  if (!Format_ || !HavePicture_) return std::nullopt;
  int width = Surface_->Width(), height = Surface_->Height();
  if (width <= 0 || height <= 0) return std::nullopt;
  std::shared_ptr<video::TYuvImage> picture;
  for (const auto& candidate : YuvPool_) {
    if (candidate.use_count() == 1) {
      picture = candidate;
      break;
    }
  }
  if (!picture) {
    picture = std::make_shared<video::TYuvImage>();
    if (YuvPool_.size() < KPoolSize) YuvPool_.push_back(picture);
  }
  TCropRect crop = Source_;
  crop.Left += Format_->VisibleLeft;
  crop.Top += Format_->VisibleTop;
  if (!Converter_.ConvertToI420(Planes_, Format_->Picture, crop, *picture)) return std::nullopt;
  video::TYuvFrame frame;
  frame.Picture = picture;
  TCropRect dest = EffectiveDestLocked(width, height);
  frame.Dest = {dest.Left, dest.Top, dest.Width, dest.Height};
  if (OverlayLayout_) {
    if (!OverlayRgb_) {
      auto rgb = std::make_shared<video::TRgbImage>();
      rgb->Resize(OverlayLayout_->Width, OverlayLayout_->Height);
      if (OverlayConverter_.Convert(Overlay_.data(), Overlay_.size(), *OverlayLayout_, {}, *rgb)) OverlayRgb_ = rgb;
    }
    frame.Overlay = OverlayRgb_;
    frame.OverlayKeyed = OverlayLayout_->Layout != TPixelLayout::ARGB32;
    frame.KeyPixel = video::ColorRefToPixel(ColorKey_);
    frame.OverlayAlpha = OverlayAlpha_;
  }
  return frame;
}

bool TVideoPresenter::YuvOutput() const {
  std::lock_guard lock(Mutex_);
  return YuvOutput_;
}

void TVideoPresenter::SetYuvOutput(bool yuv) {
  std::lock_guard<std::mutex> lock(Mutex_);
  YuvOutput_ = yuv;
}

void TVideoPresenter::Redraw() {
  std::unique_lock<std::mutex> lock(Mutex_);
  ComposeAndShow(lock);
}

void TVideoPresenter::Show(const std::shared_ptr<video::TRgbImage>& frame,
                           const std::shared_ptr<video::IVideoSurface>& surface) {
  if (surface) surface->Present(frame);
}

}  // namespace kv::render
