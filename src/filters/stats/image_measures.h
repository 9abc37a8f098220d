// The picture measures of the statistics filter's image records (TImageRecord), computed
// from the luma of one decoded picture. All values are in thousandths:
//
//   HistogramAverage, HistogramMax, HistogramMin: the average, largest and smallest luma
//     level (0..255) over every visible pixel, times 1000 (0..255000). For RGB pictures the
//     luma is Y = (66 R + 129 G + 25 B + 128) / 256 + 16 (ITU-R BT.601, video range).
//   DCTAverage, DCTMax, DCTMin: the picture is cut into whole 8x8 luma blocks from the top
//     left (a partial block at the right or bottom edge is left out). Each block gets the
//     8x8 forward DCT of JPEG (ITU T.81 A.3.3) and is quantised with the JPEG luminance
//     table of Annex K at quality 50 (the table itself), rounding to nearest; the block's
//     count is its number of non-zero AC coefficients (0..63). The three values are the
//     average, largest and smallest count over the picture's blocks, times 1000
//     (0..63000); all 0 when the picture has no whole block.
// Averages are truncated to whole thousandths.
//
// How it is computed (the results are those of the definition above): a block whose levels
// differ from their mean by a sum of absolute differences below 24 provably has no
// non-zero AC term (image_measures.cpp shows why) and is not transformed; most blocks of
// real pictures are such. Other blocks get the separable floating-point AAN factorisation
// (the one libjpeg calls "float"), eight columns at a time in vector registers; its output
// scaling is folded into the per-coefficient thresholds, so no division or multiplication
// by the table is needed. The picture is read once: a block gives its levels too; with
// AVX2, planar pictures are read two neighbouring blocks at a time.
// Pure functions: no allocation, no state, any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv::stats {

enum class TLumaLayout {
  Planar,  // 8-bit luma samples one after the other (YV12, I420, NV12 first plane)
  YUY2,    // Y0 U Y1 V: luma at every second byte
  BGRA,    // 32-bit blue, green, red, alpha
};

struct TLumaPicture {
  const uint8_t* data = nullptr;  // first byte of the top visible row
  int width = 0;                  // visible pixels
  int height = 0;
  ptrdiff_t rowBytes = 0;  // from one row to the next (negative for bottom-up bitmaps)
  TLumaLayout layout = TLumaLayout::Planar;
};

struct TImageMeasures {
  int32_t HistogramAverage = 0, HistogramMax = 0, HistogramMin = 0;
  int32_t DCTAverage = 0, DCTMax = 0, DCTMin = 0;
};

TImageMeasures MeasurePicture(const TLumaPicture& picture);

// The number of non-zero AC coefficients of one 8x8 block of luma levels (row-major),
// quantised as above. Exposed for tests.
int CountNonZeroAC(const uint8_t block[64]);

}  // namespace kv::stats
