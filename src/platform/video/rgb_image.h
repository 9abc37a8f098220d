// A 32-bit RGB picture in memory: what a video renderer hands to its surface.
//
// Pixels are 4 bytes each in the order blue, green, red, 255 (0xFFRRGGBB read as a
// little-endian 32-bit word), rows top-down, `Stride` bytes apart. This is the layout Qt
// calls Format_RGB32 and X11 calls a 24-bit TrueColor ZPixmap, so a surface can show it
// without another conversion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kv::video {

struct TRgbImage {
  int Width = 0;
  int Height = 0;
  int Stride = 0;  // bytes per row, a multiple of 4 (and of 64 for SIMD-friendly rows)
  std::vector<uint8_t> Pixels;

  // Resizes to w x h (contents undefined afterwards); keeps the buffer when it fits, so a
  // renderer that reuses its images allocates nothing while the size stays the same.
  void Resize(int w, int h);
  bool Empty() const { return Width <= 0 || Height <= 0; }
  uint32_t* Row(int y) { return reinterpret_cast<uint32_t*>(Pixels.data() + static_cast<size_t>(y) * Stride); }
  const uint32_t* Row(int y) const {
    return reinterpret_cast<const uint32_t*>(Pixels.data() + static_cast<size_t>(y) * Stride);
  }
  // Pixel as 0x00RRGGBB.
  uint32_t At(int x, int y) const { return Row(y)[x] & 0x00FFFFFFU; }
  void Fill(uint32_t rgb);
};

// Memory a frame is written into that belongs to someone else (a surface's shared image):
// Width x Height pixels laid out as TRgbImage's.
struct TFrameTarget {
  uint8_t* Pixels = nullptr;
  int Width = 0;
  int Height = 0;
  int Stride = 0;
};

// Converts between the program's colour values (0x00BBGGRR, red in the low byte) and
// the pixel value of TRgbImage (0x00RRGGBB).
inline uint32_t ColorRefToPixel(uint32_t colorRef) {
  return ((colorRef & 0xFF) << 16) | (colorRef & 0xFF00) | ((colorRef >> 16) & 0xFF);
}
inline uint32_t PixelToColorRef(uint32_t pixel) { return ColorRefToPixel(pixel & 0x00FFFFFFU); }

}  // namespace kv::video
