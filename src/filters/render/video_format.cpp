#include "filters/render/video_format.h"

#include <cstdlib>

#include "filters/render/renderer_interfaces.h"
#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"

namespace kv::render {

namespace {

const TSubtypeLayout KSubtypes[] = {
    {MEDIASUBTYPE_YV12, TPixelLayout::YV12},   {MEDIASUBTYPE_I420, TPixelLayout::I420},
    {MEDIASUBTYPE_IYUV, TPixelLayout::I420},   {MEDIASUBTYPE_NV12, TPixelLayout::NV12},
    {MEDIASUBTYPE_YUY2, TPixelLayout::YUY2},   {MEDIASUBTYPE_UYVY, TPixelLayout::UYVY},
    {MEDIASUBTYPE_RGB32, TPixelLayout::RGB32}, {KSubtypeARGB32, TPixelLayout::ARGB32},
    {MEDIASUBTYPE_RGB24, TPixelLayout::RGB24}, {MEDIASUBTYPE_RGB565, TPixelLayout::RGB565},
    {MEDIASUBTYPE_RGB555, TPixelLayout::RGB555},
};

}  // namespace

std::span<const TSubtypeLayout> SubtypeLayoutTable() { return KSubtypes; }

std::optional<TPixelLayout> LayoutOfSubtype(const GUID& subtype) {
  for (const TSubtypeLayout& row : KSubtypes)
    if (row.Subtype == subtype) return row.Layout;
  return std::nullopt;
}

std::optional<TVideoFormat> ReadVideoFormat(const MediaType& type) {
  if (type.majortype != MEDIATYPE_Video) return std::nullopt;
  std::optional<TPixelLayout> layout = LayoutOfSubtype(type.subtype);
  if (!layout) return std::nullopt;
  RECT source;
  BITMAPINFOHEADER bitmap;
  int64_t avg = 0;
  if (type.formattype == FORMAT_VideoInfo) {
    std::optional<VIDEOINFOHEADER> v = ReadVideoInfoHeader(type.format);
    if (!v) return std::nullopt;
    source = v->rcSource;
    bitmap = v->bmiHeader;
    avg = v->AvgTimePerFrame;
  } else if (type.formattype == FORMAT_VideoInfo2) {
    std::optional<VIDEOINFOHEADER2> v = ReadVideoInfoHeader2(type.format);
    if (!v) return std::nullopt;
    source = v->rcSource;
    bitmap = v->bmiHeader;
    avg = v->AvgTimePerFrame;
  } else {
    return std::nullopt;
  }
  if (bitmap.biWidth <= 0 || bitmap.biHeight == 0 || bitmap.biWidth > 16384 || std::abs(bitmap.biHeight) > 16384)
    return std::nullopt;
  TVideoFormat format;
  format.Picture.Layout = *layout;
  format.Picture.Width = bitmap.biWidth;
  format.Picture.Height = std::abs(bitmap.biHeight);
  const TPixelLayoutInfo& info = LayoutInfo(*layout);
  // Positive heights mean bottom-up rows for RGB; YUV is always top-down.
  format.Picture.BottomUp = info.Rgb && bitmap.biHeight > 0;
  format.Picture.Stride = NaturalStride(format.Picture);
  bool sourceSet = source.right > source.left && source.bottom > source.top;
  bool sourceInside = source.left >= 0 && source.top >= 0 && source.right <= format.Picture.Width &&
                      source.bottom <= format.Picture.Height;
  if (sourceSet && sourceInside) {
    // A decoder with padded rows states the visible part here; the rows stay as wide as
    // the bitmap.
    format.VisibleLeft = source.left;
    format.VisibleTop = source.top;
    format.VisibleWidth = source.right - source.left;
    format.VisibleHeight = source.bottom - source.top;
  } else {
    format.VisibleWidth = format.Picture.Width;
    format.VisibleHeight = format.Picture.Height;
  }
  format.AvgTimePerFrame = avg;
  return format;
}

MediaType MakeRgb32Type(int width, int height, int64_t avgTimePerFrame) {
  VIDEOINFOHEADER v;
  v.rcSource = {0, 0, width, height};
  v.rcTarget = v.rcSource;
  v.AvgTimePerFrame = avgTimePerFrame;
  v.bmiHeader.biWidth = width;
  v.bmiHeader.biHeight = -height;  // top-down
  v.bmiHeader.biBitCount = 32;
  v.bmiHeader.biSizeImage = static_cast<uint32_t>(width) * height * 4;
  MediaType type = MakeVideoInfoType(MEDIASUBTYPE_RGB32, v);
  type.lSampleSize = v.bmiHeader.biSizeImage;
  return type;
}

}  // namespace kv::render
