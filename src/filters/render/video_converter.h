// Picture conversion for the video renderers: crop to a source rectangle, scale, convert
// to 32-bit RGB, with libswscale.
//
// Input pictures arrive in the layouts the decoders deliver on a DirectShow-style pin:
// planar YV12 (Y, V, U) and I420 (Y, U, V), NV12 (Y, interleaved UV), packed YUY2 and
// UYVY, and RGB32/RGB24/RGB565/RGB555, which are stored bottom-up when the format's
// height is positive. Each layout maps to one FFmpeg pixel format in one table
// (PixelLayoutTable), tested row by row.
//
// Threads: one converter per renderer input, used by that input's streaming thread only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "platform/graph/picture_sample.h"
#include "platform/video/rgb_image.h"
#include "platform/video/video_surface.h"

struct SwsContext;

namespace kv::render {

// ARGB32: RGB32 whose fourth byte is an opacity (second pictures of the mixers).
enum class TPixelLayout { I420, YV12, NV12, YUY2, UYVY, RGB32, ARGB32, RGB24, RGB565, RGB555 };

// How a picture lies in a sample buffer.
struct TPictureLayout {
  TPixelLayout Layout = TPixelLayout::I420;
  int Width = 0;
  int Height = 0;       // always positive here; see BottomUp
  int Stride = 0;       // bytes per row of the first plane; 0: the natural stride
  bool BottomUp = false;  // RGB layouts: first row in memory is the bottom row
};

struct TCropRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  friend bool operator==(const TCropRect&, const TCropRect&) = default;
};

// One row of the layout table: FFmpeg's format (an AVPixelFormat value) and the planes'
// properties the crop arithmetic needs.
struct TPixelLayoutInfo {
  TPixelLayout Layout;
  int AvFormat;
  int BytesPerPixel;    // of the first plane (1 for planar luma)
  int Planes;           // 1 packed, 2 NV12, 3 planar
  bool Rgb;
  bool SwapChromaPlanes;  // YV12: V before U in memory
};
std::span<const TPixelLayoutInfo> PixelLayoutTable();
const TPixelLayoutInfo& LayoutInfo(TPixelLayout layout);

// Stride of the first plane when the format gives none (DirectShow rows: RGB rows padded
// to 4 bytes, YUV rows the width times the bytes per pixel).
int NaturalStride(const TPictureLayout& layout);
// Bytes a sample must hold for this picture; 0 for an invalid layout.
size_t PictureBytes(const TPictureLayout& layout);

// The planes of a picture stored in a sample buffer of `layout` (libav order, first row
// on top); false when the buffer is too small or the layout invalid.
bool PlanesOf(const uint8_t* data, size_t size, const TPictureLayout& layout, TPicturePlanes* planes);

// Clamps `crop` into the picture and aligns it to what the layout can address (even
// left/top/width/height for chroma-subsampled layouts). An empty crop means the whole
// picture.
TCropRect AlignCrop(const TPictureLayout& layout, const TCropRect& crop);

class TVideoConverter {
 public:
  TVideoConverter();
  ~TVideoConverter();
  TVideoConverter(const TVideoConverter&) = delete;
  TVideoConverter& operator=(const TVideoConverter&) = delete;

  // Point sampling (for keyed overlays, where blending would invent colours that are
  // neither the key nor the picture) instead of bilinear filtering.
  void SetPointSampling(bool point) { PointSampling_ = point; }

  // Converts the part `crop` of the picture in `data` into `target`, scaled to the
  // rectangle `into` of it (empty: all of target; target must have been sized). Returns
  // false (target untouched) when the buffer is too small, the layout is invalid or
  // libswscale refuses.
  bool Convert(const uint8_t* data, size_t size, const TPictureLayout& layout, const TCropRect& crop,
               video::TRgbImage& target, const TCropRect& into = {});
  // The same into memory the converter does not own (a surface's shared image).
  bool Convert(const uint8_t* data, size_t size, const TPictureLayout& layout, const TCropRect& crop,
               const video::TFrameTarget& target, const TCropRect& into = {});
  // The same from planes that lie anywhere (a decoder's picture carried in place): the
  // picture has the layout's size and pixel format, the planes' own strides.
  bool Convert(const TPicturePlanes& picture, const TPictureLayout& layout, const TCropRect& crop,
               const video::TFrameTarget& target, const TCropRect& into = {});
  bool Convert(const TPicturePlanes& picture, const TPictureLayout& layout, const TCropRect& crop,
               video::TRgbImage& target, const TCropRect& into = {});

  // Converts the part `crop` of the picture into planar I420 of the crop's own size (no
  // scaling: a YUV surface scales on the graphics card). False when the input is invalid.
  bool ConvertToI420(const uint8_t* data, size_t size, const TPictureLayout& layout, const TCropRect& crop,
                     video::TYuvImage& target);
  bool ConvertToI420(const TPicturePlanes& picture, const TPictureLayout& layout, const TCropRect& crop,
                     video::TYuvImage& target);

 private:
  SwsContext* Context_ = nullptr;
  // What the colour matrix was last set for (source and output size, format, flags,
  // matrix): libswscale may hand back a new context at the old address, so the parameters
  // say whether it must be set again.
  std::array<int, 7> MatrixSetFor_{};
  bool PointSampling_ = false;
};

}  // namespace kv::render
