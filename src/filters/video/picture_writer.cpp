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

// Whether the frame's planes are the output layout as they are (only the strides differ).
bool SameLayout(const AVFrame* frame, const TPictureGeometry& g) {
  auto srcFormat = static_cast<AVPixelFormat>(frame->format);
  // Full-range 4:2:0 (JPEG) has the same planes; the range is the renderer's business.
  const AVPixelFormat layout = srcFormat == AV_PIX_FMT_YUVJ420P ? AV_PIX_FMT_YUV420P : srcFormat;
  return layout == g.format->pixelFormat && frame->width == g.width && frame->height == g.height;
}

// Copies the planes of a frame that has the output layout into the buffer.
void CopyPlanes(const AVFrame* frame, const TPictureGeometry& g, uint8_t* buffer) {
  TPlanes out = OutputPlanes(g, buffer);
  const AVPixelFormat layout = g.format->pixelFormat;
  const int planes = av_pix_fmt_count_planes(layout);
  for (int i = 0; i < planes; ++i) {
    const int bytes = av_image_get_linesize(layout, g.width, i);
    const int rows = i == 0 ? g.height : (g.height + 1) / 2;
    av_image_copy_plane(out.data[i], out.linesize[i], frame->data[i], frame->linesize[i], bytes, rows);
  }
}

class TFramePicture final : public IPicture {
 public:
  TFramePicture(ffmpeg::FramePtr frame, const TPictureGeometry& g) : frame_(std::move(frame)), geometry_(g) {
    for (int i = 0; i < 4; ++i) {
      planes_.Data[i] = frame_->data[i];
      planes_.Stride[i] = frame_->linesize[i];
    }
  }
  const TPicturePlanes& Planes() const override { return planes_; }
  bool WriteTo(uint8_t* buffer, int32_t capacity) const override {
    if (!buffer || capacity < geometry_.imageSize) return false;
    CopyPlanes(frame_.get(), geometry_, buffer);
    return true;
  }

 private:
  ffmpeg::FramePtr frame_;  // one reference on the decoder's buffers
  TPictureGeometry geometry_;
  TPicturePlanes planes_;
};

}  // namespace

std::shared_ptr<const IPicture> MakeFramePicture(const AVFrame* frame, const TPictureGeometry& g) {
  if (!g.format || frame->width <= 0 || frame->height <= 0 || !SameLayout(frame, g)) return nullptr;
  if (g.format->pixelFormat != AV_PIX_FMT_YUV420P && g.format->pixelFormat != AV_PIX_FMT_NV12) return nullptr;
  ffmpeg::FramePtr ref = ffmpeg::MakeFrame();
  if (!ref || av_frame_ref(ref.get(), frame) < 0) return nullptr;
  return std::make_shared<TFramePicture>(std::move(ref), g);
}

bool TPictureWriter::Write(const AVFrame* frame, const TPictureGeometry& g, uint8_t* buffer, int32_t capacity) {
  if (!g.format || capacity < g.imageSize || frame->width <= 0 || frame->height <= 0) return false;
  if (SameLayout(frame, g)) {
    CopyPlanes(frame, g, buffer);
    return true;
  }
  TPlanes out = OutputPlanes(g, buffer);
  auto srcFormat = static_cast<AVPixelFormat>(frame->format);

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
