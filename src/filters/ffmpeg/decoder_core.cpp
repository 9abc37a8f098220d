#include "filters/ffmpeg/decoder_core.h"

#include <algorithm>
#include <cstring>
#include <thread>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
}

namespace kv::ffmpeg {

namespace {
// Frame threads add one frame of delay per thread; beyond this count they add latency and
// memory without adding speed on desktop resolutions.
constexpr int kMaxVideoThreads = 16;
}  // namespace

bool TDecoderCore::Open(const TCodecSetup& setup, int threads, std::string* error, bool frameThreads) {
  Close();
  const AVCodec* decoder = avcodec_find_decoder(setup.codecId);
  if (!decoder) {
    if (error) *error = std::string("libavcodec has no decoder for ") + avcodec_get_name(setup.codecId);
    return false;
  }
  CodecContextPtr ctx(avcodec_alloc_context3(decoder));
  packet_ = MakePacket();
  if (!ctx || !packet_) {
    if (error) *error = "out of memory";
    return false;
  }
  ctx->codec_tag = setup.codecTag;
  ctx->pkt_timebase = kGraphTimeBase;
  ctx->bit_rate = setup.bitRate;
  ctx->bits_per_coded_sample = setup.bitsPerCodedSample;
  if (!setup.extradata.empty()) {
    ctx->extradata = static_cast<uint8_t*>(av_mallocz(setup.extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!ctx->extradata) {
      if (error) *error = "out of memory";
      return false;
    }
    std::memcpy(ctx->extradata, setup.extradata.data(), setup.extradata.size());
    ctx->extradata_size = static_cast<int>(setup.extradata.size());
  }
  if (setup.kind == AVMEDIA_TYPE_VIDEO) {
    ctx->width = setup.width;
    ctx->coded_width = setup.width;
    ctx->height = setup.height;
    ctx->coded_height = setup.height;
    // 0: with frame threads one more than the cores, as libavcodec itself would choose: a
    // frame thread often waits for rows of the picture it refers to, and the extra thread
    // keeps every core busy meanwhile. Steady playback costs the same processor time, but
    // the burst from a key frame to an exact seek's target decodes about a quarter faster on
    // two cores (one more picture held: 3 MB at 1080p). Slice threads: one per core.
    const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const int automatic = frameThreads ? cores + 1 : cores;
    ctx->thread_count = std::min(threads > 0 ? threads : automatic, kMaxVideoThreads);
    ctx->thread_type = frameThreads ? FF_THREAD_FRAME | FF_THREAD_SLICE : FF_THREAD_SLICE;
  } else if (setup.kind == AVMEDIA_TYPE_AUDIO) {
    ctx->sample_rate = setup.sampleRate;
    if (setup.channels > 0) av_channel_layout_default(&ctx->ch_layout, setup.channels);
    ctx->block_align = setup.blockAlign;
    ctx->thread_count = 1;
    if (setup.pcmFormat != AV_SAMPLE_FMT_NONE) ctx->sample_fmt = setup.pcmFormat;
  }
  const int err = avcodec_open2(ctx.get(), decoder, nullptr);
  if (err < 0) {
    if (error) *error = std::string("cannot open the ") + decoder->name + " decoder: " + ErrorText(err);
    return false;
  }
  codec_ = std::move(ctx);
  return true;
}

int TDecoderCore::Send(const uint8_t* data, int size, int64_t pts, bool keyFrame, uint32_t skipStart,
                       uint32_t skipEnd) {
  if (!codec_) return AVERROR(EINVAL);
  if (!data) return avcodec_send_packet(codec_.get(), nullptr);
  av_packet_unref(packet_.get());
  // libavcodec may read past the end of the payload: copy into a padded buffer it owns.
  int err = av_new_packet(packet_.get(), size);
  if (err < 0) return err;
  std::memcpy(packet_->data, data, static_cast<size_t>(size));
  packet_->pts = pts;
  packet_->dts = AV_NOPTS_VALUE;
  if (keyFrame) packet_->flags |= AV_PKT_FLAG_KEY;
  if (skipStart || skipEnd) {
    // libavcodec trims decoded audio by this side data (start, end, two reason bytes).
    if (uint8_t* side = av_packet_new_side_data(packet_.get(), AV_PKT_DATA_SKIP_SAMPLES, 10)) {
      AV_WL32(side, skipStart);
      AV_WL32(side + 4, skipEnd);
    }
  }
  err = avcodec_send_packet(codec_.get(), packet_.get());
  return err;
}

int TDecoderCore::Receive(AVFrame* frame) {
  if (!codec_) return AVERROR(EINVAL);
  return avcodec_receive_frame(codec_.get(), frame);
}

void TDecoderCore::Flush() {
  if (codec_) avcodec_flush_buffers(codec_.get());
}

}  // namespace kv::ffmpeg
