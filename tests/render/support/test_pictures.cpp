#include "test_pictures.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/graph/format_blocks.h"

namespace kv::testing {

TPaddedPicture::TPaddedPicture(int w, int h, const std::vector<uint8_t>& i420) : Bytes_(i420) {
  const int cw = (w + 1) / 2, ch = (h + 1) / 2;
  const uint8_t* src[3] = {i420.data(), i420.data() + w * h, i420.data() + w * h + cw * ch};
  const int widths[3] = {w, cw, cw}, heights[3] = {h, ch, ch};
  for (int p = 0; p < 3; ++p) {
    const int stride = widths[p] + 32;
    Memory_[p].assign(static_cast<size_t>(stride) * heights[p], 0xFF);
    for (int y = 0; y < heights[p]; ++y) std::copy_n(src[p] + y * widths[p], widths[p], Memory_[p].begin() + y * stride);
    Planes_.Data[p] = Memory_[p].data();
    Planes_.Stride[p] = stride;
  }
}

bool TPaddedPicture::WriteTo(uint8_t* buffer, int32_t capacity) const {
  ++Writes;
  if (capacity < static_cast<int32_t>(Bytes_.size())) return false;
  std::copy(Bytes_.begin(), Bytes_.end(), buffer);
  return true;
}

uint32_t QuadrantColor(int x, int y, int w, int h) {
  bool right = x >= w / 2;
  bool bottom = y >= h / 2;
  if (!bottom) return right ? KGreen : KRed;
  return right ? KWhite : KBlue;
}

std::vector<uint8_t> MakePicture(render::TPixelLayout layout, int w, int h, const TPixelFunction& rgb,
                                 bool bottomUp) {
  using render::TPixelLayout;
  std::vector<uint8_t> source(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t c = rgb(x, y);
      uint8_t* p = &source[(static_cast<size_t>(y) * w + x) * 4];
      p[0] = c & 0xFF;
      p[1] = (c >> 8) & 0xFF;
      p[2] = (c >> 16) & 0xFF;
      p[3] = 0xFF;
    }
  render::TPictureLayout picture{layout, w, h, 0, bottomUp};
  std::vector<uint8_t> out(render::PictureBytes(picture));
  const render::TPixelLayoutInfo& info = render::LayoutInfo(layout);
  int stride = render::NaturalStride(picture);
  uint8_t* planes[4] = {out.data(), nullptr, nullptr, nullptr};
  int strides[4] = {stride, 0, 0, 0};
  if (info.Planes == 3) {
    int cs = (stride + 1) / 2;
    uint8_t* first = out.data() + static_cast<size_t>(stride) * h;
    uint8_t* second = first + static_cast<size_t>(cs) * ((h + 1) / 2);
    planes[1] = info.SwapChromaPlanes ? second : first;
    planes[2] = info.SwapChromaPlanes ? first : second;
    strides[1] = strides[2] = cs;
  } else if (info.Planes == 2) {
    planes[1] = out.data() + static_cast<size_t>(stride) * h;
    strides[1] = stride;
  }
  if (info.Rgb && bottomUp) {
    planes[0] = out.data() + static_cast<size_t>(h - 1) * stride;
    strides[0] = -stride;
  }
  int format = layout == TPixelLayout::ARGB32 ? AV_PIX_FMT_BGRA : info.AvFormat;
  SwsContext* context = sws_getContext(w, h, AV_PIX_FMT_BGRA, w, h, static_cast<AVPixelFormat>(format), SWS_POINT,
                                       nullptr, nullptr, nullptr);
  const uint8_t* src[4] = {source.data(), nullptr, nullptr, nullptr};
  int srcStride[4] = {w * 4, 0, 0, 0};
  sws_scale(context, src, srcStride, 0, h, planes, strides);
  sws_freeContext(context);
  return out;
}

MediaType VideoType(const GUID& subtype, int w, int h, bool topDownRgb, int64_t avgTimePerFrame) {
  VIDEOINFOHEADER v;
  v.AvgTimePerFrame = avgTimePerFrame;
  v.bmiHeader.biWidth = w;
  v.bmiHeader.biHeight = topDownRgb ? -h : h;
  MediaType type = MakeVideoInfoType(subtype, v);
  return type;
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8) {
    int x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
    if (std::abs(x - y) > tolerance) return false;
  }
  return true;
}

}  // namespace kv::testing
