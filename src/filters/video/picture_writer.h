// TPictureWriter: copies a decoded AVFrame into an output sample's buffer.
//
// The buffer layout is the one the output media type fixes (TPictureGeometry). When the
// frame already has that layout (the common 4:2:0 case) the planes are copied as they are;
// anything else (other pixel formats, a size change in mid-stream) goes through libswscale,
// whose context is kept while the source stays the same.
//
// Threads: one writer per decoder filter, used on its streaming thread only.
#pragma once

#include <memory>

#include "filters/ffmpeg/av_handles.h"
#include "filters/video/picture_formats.h"
#include "platform/graph/picture_sample.h"

namespace kv::video {

// A decoded frame that a sample can carry in place (picture_sample.h), when its planes
// already are the output layout (planar 4:2:0 or NV12 at the type's size): holds one
// reference on the frame's buffers, so nothing is copied unless a consumer asks for the
// contiguous bytes. Null when the frame needs converting, or on allocation failure.
std::shared_ptr<const IPicture> MakeFramePicture(const AVFrame* frame, const TPictureGeometry& geometry);

class TPictureWriter {
 public:
  // Writes `frame` into `buffer` (capacity bytes). False when the buffer is too small or
  // libswscale cannot convert this source.
  bool Write(const AVFrame* frame, const TPictureGeometry& geometry, uint8_t* buffer, int32_t capacity);

 private:
  ffmpeg::SwsPtr sws_;
  int srcWidth_ = 0, srcHeight_ = 0, dstWidth_ = 0, dstHeight_ = 0;
  AVPixelFormat srcFormat_ = AV_PIX_FMT_NONE, dstFormat_ = AV_PIX_FMT_NONE;
};

}  // namespace kv::video
