#include "filters/video/picture_writer.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <utility>

namespace kv::video {

namespace {

// Plane pointers and strides of the output buffer in libav's order (Y, U, V / Y, UV / packed).
struct TPlanes {
  uint8_t* data[4] = {};
  int linesize[4] = {};
};

TPlanes OutputPlanes(const TPictureGeometry& g, uint8_t* buffer) {
  TPlanes p;
  const TPictureFormatRow& f = *g.format;
  switch (f.pixelFormat) {
    case AV_PIX_FMT_YUV420P: {
      uint8_t* first = buffer + g.stride * g.height;
      uint8_t* second = first + (g.stride / 2) * ((g.height + 1) / 2);
      p.data[0] = buffer;
      p.data[1] = f.swapChroma ? second : first;  // U
      p.data[2] = f.swapChroma ? first : second;  // V
      p.linesize[0] = g.stride;
      p.linesize[1] = p.linesize[2] = g.stride / 2;
      break;
    }
    case AV_PIX_FMT_NV12:
      p.data[0] = buffer;
      p.data[1] = buffer + g.stride * g.height;
      p.linesize[0] = p.linesize[1] = g.stride;
      break;
    default: {
      const int rowBytes = g.stride * f.bitsPerPixel / 8;
      if (f.bottomUp) {
        // Bottom-up bitmap: the first picture row is the last in memory.
        p.data[0] = buffer + int64_t(rowBytes) * (g.height - 1);
        p.linesize[0] = -rowBytes;
      } else {
        p.data[0] = buffer;
        p.linesize[0] = rowBytes;
      }
      break;
    }
  }
  return p;
}

}  // namespace

bool TPictureWriter::Write(const AVFrame* frame, const TPictureGeometry& g, uint8_t* buffer, int32_t capacity) {
  if (!g.format || capacity < g.imageSize || frame->width <= 0 || frame->height <= 0) return false;
  TPlanes out = OutputPlanes(g, buffer);
  auto srcFormat = static_cast<AVPixelFormat>(frame->format);
  // Full-range 4:2:0 (JPEG) has the same planes; the range is the renderer's business.
  const AVPixelFormat layout = srcFormat == AV_PIX_FMT_YUVJ420P ? AV_PIX_FMT_YUV420P : srcFormat;

  if (layout == g.format->pixelFormat && frame->width == g.width && frame->height == g.height) {
    const int planes = av_pix_fmt_count_planes(layout);
    for (int i = 0; i < planes; ++i) {
      const int bytes = av_image_get_linesize(layout, g.width, i);
      const int rows = i == 0 ? g.height : (g.height + 1) / 2;
      av_image_copy_plane(out.data[i], out.linesize[i], frame->data[i], frame->linesize[i], bytes, rows);
    }
    return true;
  }

  if (!sws_ || srcFormat != srcFormat_ || frame->width != srcWidth_ || frame->height != srcHeight_ ||
      g.width != dstWidth_ || g.height != dstHeight_ || g.format->pixelFormat != dstFormat_) {
    sws_.reset(sws_getContext(frame->width, frame->height, srcFormat, g.width, g.height, g.format->pixelFormat,
                              SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!sws_) return false;
    srcFormat_ = srcFormat;
    srcWidth_ = frame->width;
    srcHeight_ = frame->height;
    dstWidth_ = g.width;
    dstHeight_ = g.height;
    dstFormat_ = g.format->pixelFormat;
  }
  const int rows = sws_scale(sws_.get(), frame->data, frame->linesize, 0, frame->height, out.data, out.linesize);
  return rows > 0;
}

}  // namespace kv::video
