#include "platform/video/rgb_image.h"

#include <algorithm>

namespace kv::video {

void TRgbImage::Resize(int w, int h) {
  Width = std::max(0, w);
  Height = std::max(0, h);
  Stride = (Width * 4 + 63) / 64 * 64;
  size_t bytes = static_cast<size_t>(Stride) * Height;
  if (Pixels.size() < bytes) Pixels.resize(bytes);
}

void TRgbImage::Fill(uint32_t rgb) {
  uint32_t pixel = 0xFF000000U | (rgb & 0x00FFFFFFU);
  for (int y = 0; y < Height; ++y) std::fill_n(Row(y), Width, pixel);
}

}  // namespace kv::video
