// Test pictures in the layouts the renderers take, made from an RGB description with
// libswscale (so the tests do not hand-code YUV arithmetic).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "filters/render/video_converter.h"
#include "platform/graph/media_type.h"
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

// Whether two colours are within `tolerance` per channel.
bool Near(uint32_t a, uint32_t b, int tolerance = 24);

}  // namespace kv::testing
