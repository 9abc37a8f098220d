// The uncompressed picture layouts the video decoder offers, in the order it offers them.
//
// One table row per output subtype: its libav pixel format, bits per pixel, whether the
// chroma planes are stored V before U, and whether the rows run bottom-up (RGB bitmaps).
// Buffers are packed with the stride the media type states (biWidth pixels per row).
// Pure data, any thread.
#pragma once

extern "C" {
#include <libavutil/pixfmt.h>
}

#include <cstdint>
#include <optional>
#include <span>

#include "platform/graph/media_type.h"

namespace kv::video {

struct TPictureFormatRow {
  GUID subtype;
  AVPixelFormat pixelFormat;
  uint16_t bitsPerPixel;
  uint32_t compression;  // biCompression: the FOURCC, 0 (BI_RGB) for RGB
  bool swapChroma;       // YV12: V plane before U
  bool bottomUp;         // RGB bitmaps with a positive height run bottom-up
};

// YV12, I420, NV12, YUY2, RGB32.
std::span<const TPictureFormatRow> PictureFormatTable();
const TPictureFormatRow* FindPictureFormat(const GUID& subtype);

// The geometry of one output picture as the media type fixes it.
struct TPictureGeometry {
  const TPictureFormatRow* format = nullptr;
  int width = 0;   // visible size
  int height = 0;
  int stride = 0;  // pixels per row of the first plane (biWidth)
  int64_t frameDuration = 0;
  int32_t imageSize = 0;  // bytes of one picture
};

// Bytes one picture of this layout takes; 0 for impossible sizes.
int32_t PictureImageSize(const TPictureFormatRow& format, int stride, int height);
// The output media type for a picture: VIDEOINFOHEADER2 (with the aspect ratio) when
// videoInfo2 is true, else VIDEOINFOHEADER.
MediaType MakePictureType(const TPictureFormatRow& format, int width, int height, int64_t frameDuration,
                          uint32_t aspectX, uint32_t aspectY, bool videoInfo2);
// Reads a picture media type back (either header); nullopt when it is not one of ours or
// the sizes are out of range.
std::optional<TPictureGeometry> ReadPictureType(const MediaType& type);

}  // namespace kv::video
