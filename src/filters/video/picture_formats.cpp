#include "filters/video/picture_formats.h"

#include <algorithm>

#include "filters/mediatypes/codec_tables.h"
#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"

namespace kv::video {

namespace {

using mediatypes::Fourcc;

const TPictureFormatRow kPictureFormats[] = {
    {MEDIASUBTYPE_YV12, AV_PIX_FMT_YUV420P, 12, Fourcc("YV12"), true, false},
    {MEDIASUBTYPE_I420, AV_PIX_FMT_YUV420P, 12, Fourcc("I420"), false, false},
    {MEDIASUBTYPE_NV12, AV_PIX_FMT_NV12, 12, Fourcc("NV12"), false, false},
    {MEDIASUBTYPE_YUY2, AV_PIX_FMT_YUYV422, 16, Fourcc("YUY2"), false, false},
    {MEDIASUBTYPE_RGB32, AV_PIX_FMT_BGRA, 32, 0, false, true},
};

constexpr int kMaxDimension = 16384;

}  // namespace

std::span<const TPictureFormatRow> PictureFormatTable() { return kPictureFormats; }

const TPictureFormatRow* FindPictureFormat(const GUID& subtype) {
  for (const auto& row : kPictureFormats)
    if (row.subtype == subtype) return &row;
  return nullptr;
}

int32_t PictureImageSize(const TPictureFormatRow& format, int stride, int height) {
  if (stride <= 0 || height <= 0 || stride > kMaxDimension || height > kMaxDimension) return 0;
  const int64_t size = int64_t(stride) * height * format.bitsPerPixel / 8;
  return size > INT32_MAX ? 0 : static_cast<int32_t>(size);
}

MediaType MakePictureType(const TPictureFormatRow& format, int width, int height, int64_t frameDuration,
                          uint32_t aspectX, uint32_t aspectY, bool videoInfo2) {
  // 4:2:0 and 4:2:2 layouts need an even row length; the visible part stays rcSource.
  const int stride = (width + 1) & ~1;
  BITMAPINFOHEADER bmi;
  bmi.biWidth = stride;
  bmi.biHeight = height;
  bmi.biPlanes = 1;
  bmi.biBitCount = format.bitsPerPixel;
  bmi.biCompression = format.compression;
  bmi.biSizeImage = static_cast<uint32_t>(PictureImageSize(format, stride, height));
  const RECT visible{0, 0, width, height};
  MediaType mt;
  if (videoInfo2) {
    VIDEOINFOHEADER2 v;
    v.rcSource = v.rcTarget = visible;
    v.AvgTimePerFrame = frameDuration;
    v.dwPictAspectRatioX = aspectX ? aspectX : static_cast<uint32_t>(width);
    v.dwPictAspectRatioY = aspectY ? aspectY : static_cast<uint32_t>(height);
    v.dwBitRate = static_cast<uint32_t>(std::min<int64_t>(
        int64_t(bmi.biSizeImage) * 8 * (frameDuration > 0 ? 10000000 / frameDuration : 25), UINT32_MAX));
    v.bmiHeader = bmi;
    mt = MakeVideoInfo2Type(format.subtype, v);
  } else {
    VIDEOINFOHEADER v;
    v.rcSource = v.rcTarget = visible;
    v.AvgTimePerFrame = frameDuration;
    v.bmiHeader = bmi;
    mt = MakeVideoInfoType(format.subtype, v);
  }
  mt.majortype = MEDIATYPE_Video;
  mt.bFixedSizeSamples = true;
  mt.bTemporalCompression = false;
  mt.lSampleSize = bmi.biSizeImage;
  return mt;
}

std::optional<TPictureGeometry> ReadPictureType(const MediaType& type) {
  if (type.majortype != MEDIATYPE_Video) return std::nullopt;
  TPictureGeometry g;
  g.format = FindPictureFormat(type.subtype);
  if (!g.format) return std::nullopt;
  RECT source;
  BITMAPINFOHEADER bmi;
  if (type.formattype == FORMAT_VideoInfo) {
    auto v = ReadVideoInfoHeader(type.format);
    if (!v) return std::nullopt;
    source = v->rcSource;
    bmi = v->bmiHeader;
    g.frameDuration = v->AvgTimePerFrame;
  } else if (type.formattype == FORMAT_VideoInfo2) {
    auto v = ReadVideoInfoHeader2(type.format);
    if (!v) return std::nullopt;
    source = v->rcSource;
    bmi = v->bmiHeader;
    g.frameDuration = v->AvgTimePerFrame;
  } else {
    return std::nullopt;
  }
  const int height = bmi.biHeight < 0 ? -bmi.biHeight : bmi.biHeight;
  // A negative height would be a top-down RGB bitmap; we write RGB bottom-up only.
  if (g.format->bottomUp && bmi.biHeight < 0) return std::nullopt;
  g.stride = bmi.biWidth;
  g.height = height;
  g.width = source.right > source.left ? source.right - source.left : bmi.biWidth;
  if (g.width > g.stride || source.bottom - source.top > height) return std::nullopt;
  if (source.bottom > source.top) g.height = source.bottom - source.top;
  if (g.height != height) return std::nullopt;  // cropped rows are not supported
  if (g.format->pixelFormat != AV_PIX_FMT_BGRA && (g.stride & 1)) return std::nullopt;  // chroma needs even rows
  g.imageSize = PictureImageSize(*g.format, g.stride, g.height);
  if (g.imageSize == 0) return std::nullopt;
  return g;
}

}  // namespace kv::video
