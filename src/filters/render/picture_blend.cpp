#include "filters/render/picture_blend.h"

#include <algorithm>

namespace kv::render {

namespace {

bool SameSize(const video::TRgbImage& a, const video::TRgbImage& b) {
  return a.Width == b.Width && a.Height == b.Height && !a.Empty();
}

// a*o + (255-a)*t per channel, rounded, for a in 0..255.
uint32_t Mix(uint32_t target, uint32_t overlay, uint32_t alpha) {
  uint32_t result = 0xFF000000U;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t t = (target >> shift) & 0xFF;
    uint32_t o = (overlay >> shift) & 0xFF;
    uint32_t v = (o * alpha + t * (255 - alpha) + 127) / 255;
    result |= v << shift;
  }
  return result;
}

}  // namespace

void BlendKeyed(video::TRgbImage& target, const video::TRgbImage& overlay, uint32_t keyPixel) {
  if (!SameSize(target, overlay)) return;
  uint32_t key = keyPixel & 0x00FFFFFFU;
  for (int y = 0; y < target.Height; ++y) {
    uint32_t* t = target.Row(y);
    const uint32_t* o = overlay.Row(y);
    for (int x = 0; x < target.Width; ++x) {
      if ((o[x] & 0x00FFFFFFU) != key) t[x] = o[x] | 0xFF000000U;
    }
  }
}

void BlendAlpha(video::TRgbImage& target, const video::TRgbImage& overlay) {
  if (!SameSize(target, overlay)) return;
  for (int y = 0; y < target.Height; ++y) {
    uint32_t* t = target.Row(y);
    const uint32_t* o = overlay.Row(y);
    for (int x = 0; x < target.Width; ++x) {
      uint32_t alpha = o[x] >> 24;
      if (alpha == 0) continue;
      t[x] = alpha == 255 ? o[x] : Mix(t[x], o[x], alpha);
    }
  }
}

void BlendConstant(video::TRgbImage& target, const video::TRgbImage& overlay, int alpha, bool useKey,
                   uint32_t keyPixel) {
  if (!SameSize(target, overlay)) return;
  uint32_t a = static_cast<uint32_t>(std::clamp(alpha, 0, 255));
  if (a == 0) return;
  uint32_t key = keyPixel & 0x00FFFFFFU;
  for (int y = 0; y < target.Height; ++y) {
    uint32_t* t = target.Row(y);
    const uint32_t* o = overlay.Row(y);
    for (int x = 0; x < target.Width; ++x) {
      if (useKey && (o[x] & 0x00FFFFFFU) == key) continue;
      t[x] = Mix(t[x], o[x], a);
    }
  }
}

}  // namespace kv::render
