// RAII owners for the FFmpeg handles the filters use.
//
// Every libav* object a filter holds lives in one of these: the deleter is the library's
// own free function, so a handle is released exactly once whatever path leaves the scope.
// Header-only; no Qt.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

namespace kv::ffmpeg {

// Time unit of the graph: 100 ns. Packet and frame times are rescaled to it at the edges.
inline constexpr AVRational kGraphTimeBase{1, 10000000};

struct FormatContextCloser {
  // Input contexts are opened with avformat_open_input and must be closed with its partner.
  void operator()(AVFormatContext* ctx) const { avformat_close_input(&ctx); }
};
struct CodecContextFreer {
  void operator()(AVCodecContext* ctx) const { avcodec_free_context(&ctx); }
};
struct PacketFreer {
  void operator()(AVPacket* pkt) const { av_packet_free(&pkt); }
};
struct FrameFreer {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct SwrFreer {
  void operator()(SwrContext* ctx) const { swr_free(&ctx); }
};
struct SwsFreer {
  void operator()(SwsContext* ctx) const { sws_freeContext(ctx); }
};
struct IoContextFreer {
  // The context's buffer may have been reallocated by libavformat: free the current one.
  void operator()(AVIOContext* ctx) const {
    if (ctx) av_freep(&ctx->buffer);
    avio_context_free(&ctx);
  }
};

using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextCloser>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFreer>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFreer>;
using IoContextPtr = std::unique_ptr<AVIOContext, IoContextFreer>;

inline PacketPtr MakePacket() { return PacketPtr(av_packet_alloc()); }
inline FramePtr MakeFrame() { return FramePtr(av_frame_alloc()); }

// "Invalid data found when processing input (-1094995529)": for logs and error details.
inline std::string ErrorText(int err) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(err, buf, sizeof buf);
  return std::string(buf) + " (" + std::to_string(err) + ")";
}

}  // namespace kv::ffmpeg
