// Mixing a second picture over the video: the overlay mixers and mixing renderers use
// this for their second input (the teletext page).
//
// Both pictures have the same size (the second is scaled to the video's output size with
// point sampling first, so the key colour survives scaling exactly). Pure functions.
#pragma once

#include <cstdint>

#include "platform/video/rgb_image.h"

namespace kv::render {

// Copies every pixel of `overlay` onto `target` except those equal to `keyPixel`
// (0x00RRGGBB), which stay transparent. Sizes must match (else nothing happens).
void BlendKeyed(video::TRgbImage& target, const video::TRgbImage& overlay, uint32_t keyPixel);

// Blends `overlay` onto `target` by the overlay's fourth byte (0 transparent, 255 opaque).
void BlendAlpha(video::TRgbImage& target, const video::TRgbImage& overlay);

// Blends all of `overlay` at a constant opacity 0..255 (mixing renderer stream alpha), with
// key pixels left out when `useKey` is set.
void BlendConstant(video::TRgbImage& target, const video::TRgbImage& overlay, int alpha, bool useKey,
                   uint32_t keyPixel);

}  // namespace kv::render
