#include "filters/render/video_converter.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>

namespace kv::render {

namespace {

constexpr TPixelLayoutInfo KLayouts[] = {
    {TPixelLayout::I420, AV_PIX_FMT_YUV420P, 1, 3, false, false},
    {TPixelLayout::YV12, AV_PIX_FMT_YUV420P, 1, 3, false, true},
    {TPixelLayout::NV12, AV_PIX_FMT_NV12, 1, 2, false, false},
    {TPixelLayout::YUY2, AV_PIX_FMT_YUYV422, 2, 1, false, false},
    {TPixelLayout::UYVY, AV_PIX_FMT_UYVY422, 2, 1, false, false},
    {TPixelLayout::RGB32, AV_PIX_FMT_BGR0, 4, 1, true, false},
    {TPixelLayout::ARGB32, AV_PIX_FMT_BGRA, 4, 1, true, false},
    {TPixelLayout::RGB24, AV_PIX_FMT_BGR24, 3, 1, true, false},
    {TPixelLayout::RGB565, AV_PIX_FMT_RGB565LE, 2, 1, true, false},
    {TPixelLayout::RGB555, AV_PIX_FMT_RGB555LE, 2, 1, true, false},
};

bool Subsampled420(const TPixelLayoutInfo& info) { return info.Planes > 1; }
bool Packed422(const TPixelLayoutInfo& info) { return info.Planes == 1 && !info.Rgb; }

int ChromaRows(const TPictureLayout& layout) { return (layout.Height + 1) / 2; }
int ChromaStride(int stride) { return (stride + 1) / 2; }

int Stride(const TPictureLayout& layout) { return layout.Stride > 0 ? layout.Stride : NaturalStride(layout); }

bool ValidLayout(const TPictureLayout& layout) {
  return layout.Width > 0 && layout.Height > 0 && layout.Width <= 16384 && layout.Height <= 16384 &&
         Stride(layout) >= NaturalStride(layout);
}

}  // namespace

std::span<const TPixelLayoutInfo> PixelLayoutTable() { return KLayouts; }

const TPixelLayoutInfo& LayoutInfo(TPixelLayout layout) {
  for (const TPixelLayoutInfo& info : KLayouts)
    if (info.Layout == layout) return info;
  return KLayouts[0];
}

int NaturalStride(const TPictureLayout& layout) {
  const TPixelLayoutInfo& info = LayoutInfo(layout.Layout);
  int bytes = layout.Width * info.BytesPerPixel;
  return info.Rgb ? (bytes + 3) / 4 * 4 : bytes;
}

size_t PictureBytes(const TPictureLayout& layout) {
  if (!ValidLayout(layout)) return 0;
  const TPixelLayoutInfo& info = LayoutInfo(layout.Layout);
  size_t stride = static_cast<size_t>(Stride(layout));
  size_t bytes = stride * layout.Height;
  if (info.Planes == 3) bytes += 2 * static_cast<size_t>(ChromaStride(Stride(layout))) * ChromaRows(layout);
  if (info.Planes == 2) bytes += stride * ChromaRows(layout);
  return bytes;
}

TCropRect AlignCrop(const TPictureLayout& layout, const TCropRect& crop) {
  TCropRect r = crop;
  if (r.Width <= 0 || r.Height <= 0) r = {0, 0, layout.Width, layout.Height};
  r.Left = std::clamp(r.Left, 0, std::max(0, layout.Width - 1));
  r.Top = std::clamp(r.Top, 0, std::max(0, layout.Height - 1));
  r.Width = std::clamp(r.Width, 1, layout.Width - r.Left);
  r.Height = std::clamp(r.Height, 1, layout.Height - r.Top);
  const TPixelLayoutInfo& info = LayoutInfo(layout.Layout);
  if (Subsampled420(info) || Packed422(info)) {
    r.Left &= ~1;
    if (layout.Width >= 2) r.Width = std::max(2, std::min(r.Width & ~1, (layout.Width - r.Left) & ~1));
  }
  if (Subsampled420(info)) {
    r.Top &= ~1;
    if (layout.Height >= 2) r.Height = std::max(2, std::min(r.Height & ~1, (layout.Height - r.Top) & ~1));
  }
  return r;
}

TVideoConverter::TVideoConverter() = default;

TVideoConverter::~TVideoConverter() { sws_freeContext(Context_); }

bool PlanesOf(const uint8_t* data, size_t size, const TPictureLayout& layout, TPicturePlanes* planes) {
  size_t needed = PictureBytes(layout);
  if (!data || needed == 0 || size < needed) return false;
  const TPixelLayoutInfo& info = LayoutInfo(layout.Layout);
  const int stride = Stride(layout);
  *planes = {};
  if (info.Rgb && layout.BottomUp) {
    // The top row is the last in the buffer.
    planes->Data[0] = data + static_cast<size_t>(layout.Height - 1) * stride;
    planes->Stride[0] = -stride;
  } else {
    planes->Data[0] = data;
    planes->Stride[0] = stride;
  }
  if (info.Planes == 3) {
    const int cs = ChromaStride(stride);
    const uint8_t* first = data + static_cast<size_t>(stride) * layout.Height;
    const uint8_t* second = first + static_cast<size_t>(cs) * ChromaRows(layout);
    planes->Data[1] = info.SwapChromaPlanes ? second : first;  // U
    planes->Data[2] = info.SwapChromaPlanes ? first : second;  // V
    planes->Stride[1] = planes->Stride[2] = cs;
  } else if (info.Planes == 2) {
    planes->Data[1] = data + static_cast<size_t>(stride) * layout.Height;
    planes->Stride[1] = stride;
  }
  return true;
}

namespace {

// The planes of the part `crop` of a picture, and the crop aligned to what the layout can
// address. False for an invalid layout or a picture without planes.
bool CropPlanes(const TPicturePlanes& picture, const TPictureLayout& layout, const TCropRect& crop,
                const uint8_t* planes[4], int strides[4], TCropRect* aligned) {
  if (PictureBytes(layout) == 0 || !picture.Data[0]) return false;
  const TPixelLayoutInfo& info = LayoutInfo(layout.Layout);
  const TCropRect r = AlignCrop(layout, crop);
  for (int i = 0; i < 4; ++i) {
    planes[i] = nullptr;
    strides[i] = 0;
  }
  planes[0] = picture.Data[0] + static_cast<ptrdiff_t>(r.Top) * picture.Stride[0] + r.Left * info.BytesPerPixel;
  strides[0] = picture.Stride[0];
  const int chromaPlanes = info.Planes == 3 ? 2 : info.Planes == 2 ? 1 : 0;
  for (int i = 1; i <= chromaPlanes; ++i) {
    if (!picture.Data[i]) return false;
    // NV12's second plane holds U and V side by side: two bytes per chroma sample.
    const int column = info.Planes == 2 ? (r.Left / 2) * 2 : r.Left / 2;
    planes[i] = picture.Data[i] + static_cast<ptrdiff_t>(r.Top / 2) * picture.Stride[i] + column;
    strides[i] = picture.Stride[i];
  }
  *aligned = r;
  return true;
}

}  // namespace

namespace {

// High-definition pictures are coded with the BT.709 matrix, standard definition with
// BT.601; the decoders' YUV types do not say which, the height does.
int MatrixFor(const TPictureLayout& layout) { return layout.Height > 576 ? SWS_CS_ITU709 : SWS_CS_ITU601; }

}  // namespace

bool TVideoConverter::Convert(const uint8_t* data, size_t size, const TPictureLayout& layout, const TCropRect& crop,
                              video::TRgbImage& target, const TCropRect& into) {
  if (target.Empty()) return false;
  return Convert(data, size, layout, crop, video::TFrameTarget{target.Pixels.data(), target.Width, target.Height,
                                                               target.Stride},
                 into);
}

bool TVideoConverter::Convert(const uint8_t* data, size_t size, const TPictureLayout& layout, const TCropRect& crop,
                              const video::TFrameTarget& target, const TCropRect& into) {
  TPicturePlanes picture;
  return PlanesOf(data, size, layout, &picture) && Convert(picture, layout, crop, target, into);
}

bool TVideoConverter::Convert(const TPicturePlanes& picture, const TPictureLayout& layout, const TCropRect& crop,
                              video::TRgbImage& target, const TCropRect& into) {
  if (target.Empty()) return false;
  return Convert(picture, layout, crop,
                 video::TFrameTarget{target.Pixels.data(), target.Width, target.Height, target.Stride}, into);
}

bool TVideoConverter::Convert(const TPicturePlanes& picture, const TPictureLayout& layout, const TCropRect& crop,
                              const video::TFrameTarget& target, const TCropRect& into) {
  if (!target.Pixels || target.Width <= 0 || target.Height <= 0) return false;
  TCropRect out = into;
  if (out.Width <= 0 || out.Height <= 0) out = {0, 0, target.Width, target.Height};
  if (out.Left < 0 || out.Top < 0 || out.Left + out.Width > target.Width || out.Top + out.Height > target.Height)
    return false;
  const uint8_t* planes[4];
  int strides[4];
  TCropRect r;
  if (!CropPlanes(picture, layout, crop, planes, strides, &r)) return false;
  const TPixelLayoutInfo& info = LayoutInfo(layout.Layout);
  int flags = PointSampling_ ? SWS_POINT : SWS_BILINEAR;
  Context_ = sws_getCachedContext(Context_, r.Width, r.Height, static_cast<AVPixelFormat>(info.AvFormat), out.Width,
                                  out.Height, AV_PIX_FMT_BGRA, flags, nullptr, nullptr, nullptr);
  if (!Context_) return false;
  std::array<int, 7> key{r.Width, r.Height, info.AvFormat, out.Width, out.Height, flags, MatrixFor(layout)};
  if (!info.Rgb && key != MatrixSetFor_) {
    // Set once per context: setting it rebuilds libswscale's tables.
    MatrixSetFor_ = key;
    sws_setColorspaceDetails(Context_, sws_getCoefficients(key[6]), 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                             1 << 16, 1 << 16);
  }
  uint8_t* dst[4] = {target.Pixels + static_cast<size_t>(out.Top) * target.Stride + out.Left * 4, nullptr, nullptr,
                     nullptr};
  int dstStride[4] = {target.Stride, 0, 0, 0};
  return sws_scale(Context_, planes, strides, 0, r.Height, dst, dstStride) > 0;
}

bool TVideoConverter::ConvertToI420(const uint8_t* data, size_t size, const TPictureLayout& layout,
                                    const TCropRect& crop, video::TYuvImage& target) {
  TPicturePlanes picture;
  return PlanesOf(data, size, layout, &picture) && ConvertToI420(picture, layout, crop, target);
}

bool TVideoConverter::ConvertToI420(const TPicturePlanes& picture, const TPictureLayout& layout,
                                    const TCropRect& crop, video::TYuvImage& target) {
  const uint8_t* planes[4];
  int strides[4];
  TCropRect r;
  if (!CropPlanes(picture, layout, crop, planes, strides, &r)) return false;
  const TPixelLayoutInfo& info = LayoutInfo(layout.Layout);
  target.Width = r.Width;
  target.Height = r.Height;
  target.Bt709 = !info.Rgb && layout.Height > 576;  // RGB sources are converted with BT.601
  int cw = (r.Width + 1) / 2, ch = (r.Height + 1) / 2;
  target.Y.resize(static_cast<size_t>(r.Width) * r.Height);
  target.U.resize(static_cast<size_t>(cw) * ch);
  target.V.resize(static_cast<size_t>(cw) * ch);
  Context_ = sws_getCachedContext(Context_, r.Width, r.Height, static_cast<AVPixelFormat>(info.AvFormat), r.Width,
                                  r.Height, AV_PIX_FMT_YUV420P, SWS_POINT, nullptr, nullptr, nullptr);
  MatrixSetFor_ = {};  // the context now serves this conversion
  if (!Context_) return false;
  uint8_t* dst[4] = {target.Y.data(), target.U.data(), target.V.data(), nullptr};
  int dstStride[4] = {r.Width, cw, cw, 0};
  return sws_scale(Context_, planes, strides, 0, r.Height, dst, dstStride) > 0;
}

}  // namespace kv::render
