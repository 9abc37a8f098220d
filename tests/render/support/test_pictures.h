// Test pictures in the layouts the renderers take, made from an RGB description with
// libswscale (so the tests do not hand-code YUV arithmetic).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "filters/render/video_converter.h"
#include "platform/graph/media_type.h"
#include "platform/graph/picture_sample.h"
#include "platform/video/rgb_image.h"

namespace kv::testing {

// rgb(x, y) gives 0x00RRGGBB for each pixel.
using TPixelFunction = std::function<uint32_t(int x, int y)>;

// The bytes of a w x h picture in `layout` (natural stride; RGB bottom-up when bottomUp).
std::vector<uint8_t> MakePicture(render::TPixelLayout layout, int w, int h, const TPixelFunction& rgb,
                                 bool bottomUp = false);
// Four quadrants: top-left red, top-right green, bottom-left blue, bottom-right white.
uint32_t QuadrantColor(int x, int y, int w, int h);
inline constexpr uint32_t KRed = 0xFF0000, KGreen = 0x00FF00, KBlue = 0x0000FF, KWhite = 0xFFFFFF;

// A VideoInfo media type for `subtype` (biHeight negative for top-down RGB when topDown).
MediaType VideoType(const GUID& subtype, int w, int h, bool topDownRgb = false, int64_t avgTimePerFrame = 400000);

// A decoder's picture as libavcodec lays it out, for the in-place path (picture_sample.h):
// the planes of a w x h I420 picture apart from each other, rows padded past the width
// with a colour that must never show. Counts how often it is written out into a buffer.
class TPaddedPicture final : public IPicture {
 public:
  TPaddedPicture(int w, int h, const std::vector<uint8_t>& i420);
  const TPicturePlanes& Planes() const override { return Planes_; }
  bool WriteTo(uint8_t* buffer, int32_t capacity) const override;
  mutable std::atomic<int> Writes{0};

 private:
  std::vector<uint8_t> Bytes_;
  std::vector<uint8_t> Memory_[3];
  TPicturePlanes Planes_;
};

// Whether two colours are within `tolerance` per channel.
bool Near(uint32_t a, uint32_t b, int tolerance = 24);

}  // namespace kv::testing
